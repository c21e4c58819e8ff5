// The field layout of the state tables kept in RAM. A layout node (named by
// the text of string id 36) holds tables, each table holds fields; every
// name (attribute 151) is a string id, every field has a size in bytes
// (attribute 120). The fields of one layout node follow each other in
// document order from offset 0, across its tables; the next layout node
// starts at 0 again. The layout is all or nothing: any error discards it.
#ifndef KAV_DIAG_TABLELAYOUT_H
#define KAV_DIAG_TABLELAYOUT_H

#include <ostream>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/kavstl.h"

class BinaryReaderNode;

class TableLayout {
 public:
  struct TableFieldInfo_s {
    unsigned int tableId;
    unsigned int fieldId;
    unsigned int offset;
    unsigned int size;
  };

  TableLayout() = default;
  ~TableLayout() = default;
  TableLayout(const TableLayout&) = delete;
  TableLayout& operator=(const TableLayout&) = delete;

  // 0x702F table without name, 0x7030 field without name, 0x702B a field
  // twice in one table, or the error of a missing or malformed size.
  BaseErrorData readLayout(const BinaryReaderNode& node);
  // 0x7028 unknown table, 0x7027 unknown field.
  BaseErrorData getFieldInfo(unsigned int tableId, unsigned int fieldId, unsigned int* offset,
                             unsigned int* size) const;
  // The table's field ids in ascending order (0x7028 unknown table; 0x7000
  // and an internal error for a null vector).
  BaseErrorData getFieldIds(unsigned int tableId, kavstl::vector<unsigned int>* fieldIds) const;
  unsigned int getSize() const { return m_totalSize; }
  void deleteLayout();
  // Every field to the trace.
  void dump() const;
  void dumpXml(std::ostream& os) const;

  const kavstl::list<TableFieldInfo_s>& getFields() const { return m_fields; }

 private:
  BaseErrorData addTableFields(const BinaryReaderNode& table, unsigned int tableId, unsigned int* offset);

  kavstl::list<TableFieldInfo_s> m_fields;
  kavstl::map<unsigned int, kavstl::map<unsigned int, const TableFieldInfo_s*>> m_tables;
  unsigned int m_totalSize = 0;
};

#endif
