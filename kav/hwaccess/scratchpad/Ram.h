// A memory made of the RamHwrInterface blocks among its hidden children,
// joined one after the other (in child order) into one linear address space,
// with tables of named fields laid over it (the TableLayout of its
// configuration node). Reads and writes that cross a block boundary are
// split over the blocks; a masked write changes only the bits of the mask,
// read-modify-write in chunks of at most 4 bytes.
#ifndef KAV_HWACCESS_RAM_H
#define KAV_HWACCESS_RAM_H

#include "kav/diag/TableLayout.h"
#include "kav/hwaccess/scratchpad/RamHwrInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT Ram : public AtomicBase {
  KAV_TREE_CLASS(Ram)

 public:
  struct MemorySegment_t {
    unsigned int start;  // in the Ram's address space
    unsigned int size;
    KavPtr<RamHwrInterface> hwr;
  };

  Ram();
  ~Ram() override;

  // Base, then the layout of the local attributes node.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 4 maps the segments and checks that the layout fits.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 5 releases the segments.
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // Segment count, size, state and layout, then the base classes.
  void dumpXml(std::ostream& os) const override;

  // 0x7054 deleted / 0x700B not initialised, 0x7000 null data, 0x7008
  // beyond the size (nothing is accessed then).
  virtual ErrorData write(const unsigned char* data, unsigned int len, unsigned int offset);
  virtual ErrorData writeWithMask(const unsigned char* data, const unsigned char* mask, unsigned int len,
                                  unsigned int offset);
  virtual ErrorData read(unsigned char* data, unsigned int len, unsigned int offset) const;
  virtual ErrorData getSize(unsigned int* size) const;
  // Bytes [offset, offset + len) of one field: 0x7028 unknown table, 0x7027
  // unknown field, 0x7008 beyond the field.
  virtual ErrorData readField(unsigned int tableId, unsigned int fieldId, unsigned char* data, unsigned int len,
                              unsigned int offset) const;
  virtual ErrorData writeField(unsigned int tableId, unsigned int fieldId, const unsigned char* data,
                               unsigned int len, unsigned int offset);
  virtual ErrorData writeFieldWithMask(unsigned int tableId, unsigned int fieldId, const unsigned char* data,
                                       const unsigned char* mask, unsigned int len, unsigned int offset);
  // The table's field ids in ascending order (the order of the layout's
  // index; fields are addressed by id).
  virtual ErrorData getFieldIds(unsigned int tableId, kavstl::vector<unsigned int>* fieldIds) const;
  virtual ErrorData getFieldSize(unsigned int tableId, unsigned int fieldId, unsigned int* size) const;
  // Zeros over every field of the table.
  virtual ErrorData clearTable(unsigned int tableId);

  // 0x700C when already initialised; 0x7008 (and a log entry) when the
  // layout needs more bytes than the blocks hold.
  ErrorData initVars();
  void unlinkTreeElements();

  bool isInitialized() const;
  unsigned int getNumberMemSegs() const;
  const TableLayout& getLayout() const { return m_layout; }

 private:
  // Fails for an unusable Ram or request (the checks of read and write).
  ErrorData checkAccess(const void* data, const void* mask, unsigned int len, unsigned int offset) const;
  // The part of [offset, offset + len) in the segment: segLen 0 without overlap.
  static void mapToSegment(unsigned int offset, unsigned int len, const MemorySegment_t& segment,
                           unsigned int* segOffset, unsigned int* segLen);
  ErrorData fieldRange(unsigned int tableId, unsigned int fieldId, unsigned int len, unsigned int offset,
                       unsigned int* ramOffset) const;
  void freeSegments();

  MemorySegment_t* m_pMemorySegments;
  unsigned int m_numberMemSegs;
  unsigned int m_memorySize;
  bool m_initialized;
  TableLayout m_layout;
};

extern "C" KAV_EXPORT BuildBase* createRam(void* argument, BaseErrorData& rc);

#endif
