#include "kav/diag/TableLayout.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

BaseErrorData TableLayout::readLayout(const BinaryReaderNode& node) {
  BaseErrorData rc;
  deleteLayout();
  const kavstl::string& groupName = get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP);
  for (const BinaryReaderNode* group : node.getChildren()) {
    if (group->getName() != groupName) continue;
    unsigned int offset = 0;
    for (const BinaryReaderNode* table : group->getChildren()) {
      unsigned int tableId = 0;
      if (getAttributeStringId(&tableId, kav::sid::PARAMETER_NAME, *table, true) != 0) {
        KAV_TRACE_STR(KAVE, "TableLayout::readLayout table <%s> without name skipped", table->getName());
        rc = 0x702F;
        continue;
      }
      rc = addTableFields(*table, tableId, &offset);
    }
    m_totalSize = offset;
  }
  if (rc != 0) {
    KAV_TRACE(KAVE, "TableLayout::readLayout failed rc=0x%08X, layout discarded", rc.getRc());
    deleteLayout();
  }
  dump();
  return rc;
}

BaseErrorData TableLayout::addTableFields(const BinaryReaderNode& table, unsigned int tableId, unsigned int* offset) {
  BaseErrorData rc;
  kavstl::map<unsigned int, const TableFieldInfo_s*>& fields = m_tables[tableId];
  for (const BinaryReaderNode* field : table.getChildren()) {
    unsigned int fieldId = 0;
    if (getAttributeStringId(&fieldId, kav::sid::PARAMETER_NAME, *field, true) != 0) {
      KAV_TRACE(KAVE, "TableLayout field without name in table %u", tableId);
      rc = 0x7030;
      continue;
    }
    unsigned int size = 0;
    BaseErrorData sizeRc = getAttributeUint32(&size, kav::sid::FIELD_SIZE, *field, false);
    if (sizeRc != 0) {
      KAV_TRACE(KAVE, "TableLayout field %u of table %u without valid size rc=0x%08X", fieldId, tableId,
                sizeRc.getRc());
      rc = sizeRc;
      continue;
    }
    if (fields.count(fieldId) != 0) {
      KAV_TRACE_STR(KAVE, "TableLayout field %s twice in table %u", get_string_by_id(fieldId), tableId);
      rc = 0x702B;
      continue;
    }
    m_fields.push_back(TableFieldInfo_s{tableId, fieldId, *offset, size});
    fields[fieldId] = &m_fields.back();
    *offset += size;
  }
  return rc;
}

BaseErrorData TableLayout::getFieldInfo(unsigned int tableId, unsigned int fieldId, unsigned int* offset,
                                        unsigned int* size) const {
  BaseErrorData rc;
  auto table = m_tables.find(tableId);
  if (table == m_tables.end()) {
    KAV_TRACE(KAVE, "TableLayout::getFieldInfo unknown table %u,%.8X", tableId, fieldId);
    rc = 0x7028;
    return rc;
  }
  auto field = table->second.find(fieldId);
  if (field == table->second.end()) {
    KAV_TRACE(KAVE, "TableLayout::getFieldInfo unknown field %u,%.8X", tableId, fieldId);
    rc = 0x7027;
    return rc;
  }
  if (offset != nullptr) *offset = field->second->offset;
  if (size != nullptr) *size = field->second->size;
  return rc;
}

BaseErrorData TableLayout::getFieldIds(unsigned int tableId, kavstl::vector<unsigned int>* fieldIds) const {
  BaseErrorData rc;
  if (fieldIds == nullptr) {
    rc = 0x7000;
    rc.microcodeLog("kav/TableLayout", __LINE__, "f_fieldIds is NULL pointer", 2, false);
    return rc;
  }
  fieldIds->clear();
  auto table = m_tables.find(tableId);
  if (table == m_tables.end()) {
    KAV_TRACE(KAVE, "TableLayout::getFieldIds unknown table %u", tableId);
    rc = 0x7028;
    return rc;
  }
  for (const auto& field : table->second) fieldIds->push_back(field.first);
  return rc;
}

void TableLayout::deleteLayout() {
  m_tables.clear();
  m_fields.clear();
  m_totalSize = 0;
}

void TableLayout::dump() const {
  KAV_TRACE(KAVT, "TableLayout fields=%u size=%u", static_cast<unsigned int>(m_fields.size()), m_totalSize);
  for (const TableFieldInfo_s& f : m_fields)
    KAV_TRACE(KAVT, "TableLayout table=%u field=%u offset=%u size=%u", f.tableId, f.fieldId, f.offset, f.size);
}

void TableLayout::dumpXml(std::ostream& os) const {
  os << "<TableLayout size=\"" << m_totalSize << "\">";
  for (const TableFieldInfo_s& f : m_fields) {
    os << "<Field table=\"" << get_string_by_id(f.tableId) << "\" field=\"" << get_string_by_id(f.fieldId)
       << "\" offset=\"" << f.offset << "\" size=\"" << f.size << "\"/>";
  }
  os << "</TableLayout>";
}
