// The memory device of a scratchpad: forwards to its scratchpad engine,
// found through its single ScratchpadHwaInterfaceLink hidden child.
#ifndef KAV_HWACCESS_RAMHWDSCRATCHPAD_H
#define KAV_HWACCESS_RAMHWDSCRATCHPAD_H

#include "kav/hwaccess/scratchpad/RamHwdInterface.h"
#include "kav/hwaccess/scratchpad/ScratchpadHwaInterface.h"
#include "kav/tree/objects/KavPtr.h"

class ScratchpadHwaInterfaceLink;

class KAV_EXPORT RamHwdScratchpad : public RamHwdInterface {
  KAV_TREE_CLASS(RamHwdScratchpad)

 public:
  RamHwdScratchpad();
  ~RamHwdScratchpad() override;

  // Step 3 takes the engine link (0x7345 without one); terminate step 5
  // releases it.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // 0x7344 without an engine.
  ErrorData read(unsigned int offset, unsigned char* data, unsigned int len) const override;
  ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const override;
  ErrorData readSize(unsigned int& size) const override;

 private:
  KavPtr<ScratchpadHwaInterface> engine() const;

  KavPtr<ScratchpadHwaInterfaceLink> m_scratchpadHwaLink;
};

extern "C" KAV_EXPORT BuildBase* createRamHwdScratchpad(void* argument, BaseErrorData& rc);

#endif
