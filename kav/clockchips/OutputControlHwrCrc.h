// A group of a clock-redundancy chip's outputs (outputMask), switched as a
// whole. Remembers the last switch and applies it again when a chip that
// was away (its card) comes back.
#ifndef KAV_CLOCKCHIPS_OUTPUTCONTROLHWRCRC_H
#define KAV_CLOCKCHIPS_OUTPUTCONTROLHWRCRC_H

#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/hwaccess/links/CrcHwdInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT OutputControlHwrCrc : public OutputControlHwrInterface {
  KAV_TREE_CLASS(OutputControlHwrCrc)

 public:
  enum Status_t : unsigned int { STATUS_NEVER_SWITCHED = 0, STATUS_DISABLED = 1, STATUS_ENABLED = 2 };

  OutputControlHwrCrc();
  ~OutputControlHwrCrc() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 takes the single CrcHwdInterfaceLink hidden child (missing: 0x7371).
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // The outputs of the mask on or off; without a chip nothing is written,
  // but the switch is remembered.
  ErrorData enableOutput() override;
  ErrorData disableOutput() override;

  // The link's callback: the chip is there again.
  void hwdLinkChanged();

  unsigned int getOutputMask() const { return m_outputMask; }
  Status_t getStatus() const;

 private:
  void registerLinkCallBack();
  ErrorData apply(Status_t status);

  unsigned int m_outputMask;
  Status_t m_status;
  KavPtr<CrcHwdInterfaceLink> m_crcHwdLink;
  bool m_callBackRegistered;
};

extern "C" KAV_EXPORT BuildBase* createOutputControlHwrCrc(void* argument, BaseErrorData& error);

#endif
