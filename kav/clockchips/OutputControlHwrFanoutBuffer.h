// A group of a fanout buffer's outputs (outputMask), switched as a whole.
// Without the buffer (its card away) a switch does nothing and is not an
// error.
#ifndef KAV_CLOCKCHIPS_OUTPUTCONTROLHWRFANOUTBUFFER_H
#define KAV_CLOCKCHIPS_OUTPUTCONTROLHWRFANOUTBUFFER_H

#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/hwaccess/links/FanoutBufferHwdInterfaceLink.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT OutputControlHwrFanoutBuffer : public OutputControlHwrInterface {
  KAV_TREE_CLASS(OutputControlHwrFanoutBuffer)

 public:
  OutputControlHwrFanoutBuffer();
  ~OutputControlHwrFanoutBuffer() override;

  // outputMask.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // 3 takes the single FanoutBufferHwdInterfaceLink hidden child (missing:
  // 0x7373); terminate 5 lets it go.
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // The buffer's writeOutputControl(mask, mask) and (0, mask).
  ErrorData enableOutput() override;
  ErrorData disableOutput() override;

  unsigned int getOutputMask() const { return m_outputMask; }

 private:
  ErrorData write(unsigned int value);

  unsigned int m_outputMask;
  KavPtr<FanoutBufferHwdInterfaceLink> m_fanoutBufferHwdLink;
};

extern "C" KAV_EXPORT BuildBase* createOutputControlHwrFanoutBuffer(void* argument, BaseErrorData& error);

#endif
