// A lookup-table control (table pldId) of the programmable logic reached
// through its single PldHwdInterfaceLink hidden child. A deactivated card
// (init step 10) sets it to its default control. The first device error
// with an SRC (or keys to find one) is logged with the pld id; later ones
// are only marked logged.
#ifndef KAV_HWACCESS_PLDHWR_H
#define KAV_HWACCESS_PLDHWR_H

#include <ostream>

#include "kav/hwaccess/pld/PldHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"

class PldHwdInterface;
class PldHwdInterfaceLink;

class KAV_EXPORT PldHwr : public PldHwrInterface {
  KAV_TREE_CLASS(PldHwr)

 public:
  PldHwr();
  ~PldHwr() override;

  // Attributes "pldId", "logicalId" and "defaultValue" (a control name;
  // another name gives 0x716D).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3: the device link (0x7365 without a single one); step 10:
  // initialize.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 5 releases the link.
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  void dumpXml(std::ostream& os) const override;

  // 0x7364 without a device behind the link.
  ErrorData writeLookupTableControl(kavPld::LookupControl_t control) const override;
  ErrorData readLookupTableControl(kavPld::LookupControl_t& control) const override;
  // Writes the default control.
  ErrorData initialize();
  // Writes controls 2, 3 and 1, then reads the control back (traced); the
  // first failure is the result.
  ErrorData unitTest();

  unsigned int getPldId() const { return m_pldId; }
  unsigned int getLogicalId() const { return m_logicalId; }
  kavPld::LookupControl_t getDefaultValue() const { return m_defaultValue; }
  void setControl(unsigned int pldId, kavPld::LookupControl_t defaultValue) {
    m_pldId = pldId;
    m_defaultValue = defaultValue;
  }

 private:
  // The device, or null with 0x7364 in err (traced).
  KavPtr<PldHwdInterface> device(ErrorData& err) const;
  void checkAndLogError(ErrorData& err) const;

  unsigned int m_pldId;
  unsigned int m_logicalId;
  kavPld::LookupControl_t m_defaultValue;
  KavPtr<PldHwdInterfaceLink> m_pldHwdLink;
  mutable bool m_errorLogged;
};

extern "C" KAV_EXPORT BuildBase* createPldHwr(void* argument, BaseErrorData& error);

#endif
