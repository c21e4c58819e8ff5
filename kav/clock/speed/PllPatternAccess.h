// The store of a PLL's current bit pattern: the card's FRU state table is
// the record (field stateTableSpeedField [211], 4 bytes), a device the
// hardware. Takes part in power sequences (PowerControllable).
#ifndef KAV_CLOCK_PLLPATTERNACCESS_H
#define KAV_CLOCK_PLLPATTERNACCESS_H

#include <ostream>

#include "kav/cards/FruStateTable.h"
#include "kav/cards/FruStateTableLink.h"
#include "kav/cards/PowerControllable.h"
#include "kav/clock/kavosc.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PllPatternAccess : public PowerControllable {
  KAV_TREE_CLASS(PllPatternAccess)

 public:
  ~PllPatternAccess() override;

  // stateTableSpeedField [211]: the name of the state-table field.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 takes the single FruStateTableLink hidden child (none or several:
  // 0x7002); terminate 5 lets it go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  void dumpXml(std::ostream& os) const override;

  virtual ErrorData readPattern(unsigned int& bits) = 0;
  virtual ErrorData writePattern(unsigned int bits) = 0;
  virtual ErrorData readSpreadingMode(kavosc::SpreadingDirection_t& direction, unsigned int& amount) = 0;
  virtual ErrorData writeSpreadingMode(kavosc::SpreadingDirection_t direction, unsigned int amount) = 0;
  // The state-table field (4 bytes, offset 0, most significant byte
  // first, as the big-endian service processor stores it); without a
  // table: bits = 0 and 0x7000.
  virtual ErrorData readPatternFromFruStateTable(unsigned int& bits);
  virtual ErrorData writePatternToFruStateTable(unsigned int bits);

  // The link's target, or null.
  KavPtr<FruStateTable> getFruStateTable() const;
  unsigned int getStateTableSpeedFieldId() const { return m_stateTableSpeedFieldId; }

 protected:
  PllPatternAccess();
  // Whether the FRU is active; false without a table or on a read error.
  bool isFruActivated() const;

  unsigned int m_stateTableSpeedFieldId;
  KavPtr<FruStateTableLink> m_pFruStateTableLink;
};

#endif
