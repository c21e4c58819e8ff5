// The start-up of the dynamic oscillator handler on the job thread: it may
// complete an interrupted selection with its waits, which the event
// callback that found the handler ready must not run.
#ifndef KAV_CLOCK_DYNAMICOSCILLATORSTARTUPJOB_H
#define KAV_CLOCK_DYNAMICOSCILLATORSTARTUPJOB_H

#include "kav/runtime/TimedJob.h"
#include "kav/tree/objects/KavPtr.h"

class DynamicOscillatorHandler;

class DynamicOscillatorStartupJob : public TimedJob {
 public:
  explicit DynamicOscillatorStartupJob(const KavPtr<DynamicOscillatorHandler>& handler);
  ~DynamicOscillatorStartupJob() override;
  void execute() override;

 private:
  KavPtr<DynamicOscillatorHandler> m_pHandler;
};

#endif
