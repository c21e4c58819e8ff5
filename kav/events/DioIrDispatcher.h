// The digital-input interrupt thread: waits in edalDioWaitForInterrupt and
// sends a DioEvent with the interrupt id for every interrupt (delivered on
// the priority-0 dispatcher). Only the first failed wait is logged.
#ifndef KAV_EVENTS_DIOIRDISPATCHER_H
#define KAV_EVENTS_DIOIRDISPATCHER_H

#include "kav/events/IrDispatcher.h"
#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT DioIrDispatcher : public IrDispatcher<DioIrDispatcher> {
 public:
  static DioIrDispatcher* getInstance();
  // Terminates the dispatcher, waits for its thread to leave and deletes it.
  static void destroyInstance();

  void waitIrSendEvent(bool& error) override;
  // Breaks a blocked wait; the thread is not joined (returns 0).
  long terminateWait() override;

 private:
  DioIrDispatcher();
  ~DioIrDispatcher() override;
};

extern "C" {
KAV_EXPORT void initDioIrDispatcher();
KAV_EXPORT void terminateDioIrDispatcher();
}

#endif
