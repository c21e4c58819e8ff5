// A card state table kept in a Ram (scratchpad memory, survives a restart of
// the library). The Ram is the target of the single RamLink among the hidden
// children; its table (attribute "tableId") holds field 313.
#ifndef KAV_CARDS_FRUSTATETABLESYSRAM_H
#define KAV_CARDS_FRUSTATETABLESYSRAM_H

#include "kav/cards/FruStateTable.h"
#include "kav/hwaccess/scratchpad/RamLink.h"
#include "kav/tree/objects/KavPtr.h"

class BuildBase;

class KAV_EXPORT FruStateTableSysRam : public FruStateTable {
  KAV_TREE_CLASS(FruStateTableSysRam)

 public:
  FruStateTableSysRam();
  ~FruStateTableSysRam() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3 takes the RamLink (0x702D without one).
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 3 clears the table in a live Ram; step 5 drops the link.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Forwarded to the linked Ram with the table id: 0x7000 without buffer,
  // 0x702D while the link has no target.
  ErrorData readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                      unsigned int offset) const override;
  ErrorData writeField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) override;
  ErrorData writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask, unsigned int size,
                               unsigned int offset) override;
  ErrorData getFieldIds(kavstl::vector<unsigned int>* fieldIds) const override;
  ErrorData getFieldSize(unsigned int fieldId, unsigned int* size) const override;

  // m_scratchpad (the link) and the table id, then the base.
  void dumpXml(std::ostream& os) const override;

  ErrorData connectScratchpad();
  unsigned int getTableId() const { return m_tableId; }
  void setTableId(unsigned int tableId) { m_tableId = tableId; }

 private:
  // The linked Ram, or null.
  KavPtr<Ram> ram() const;

  KavPtr<RamLink> m_scratchpad;
  unsigned int m_tableId;
};

extern "C" KAV_EXPORT BuildBase* createFruStateTableSysRam(void* argument, BaseErrorData& rc);

#endif
