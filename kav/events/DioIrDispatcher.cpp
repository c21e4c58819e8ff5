#include "kav/events/DioIrDispatcher.h"

#include <mutex>
#include <string>

#include "kav/events/DioEvent.h"
#include "kav/events/DioEventSender.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "kav/runtime/IFOSRcLocalEvent.h"

namespace {
std::atomic<DioIrDispatcher*> g_instance{nullptr};
std::mutex g_instanceMutex;
}  // namespace

DioIrDispatcher::DioIrDispatcher() {}

DioIrDispatcher::~DioIrDispatcher() {}

DioIrDispatcher* DioIrDispatcher::getInstance() {
  DioIrDispatcher* p = g_instance.load();
  if (p == nullptr) {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.load();
    if (p == nullptr) {
      p = new DioIrDispatcher();
      g_instance.store(p);
    }
  }
  return p;
}

void DioIrDispatcher::destroyInstance() {
  DioIrDispatcher* p = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    p = g_instance.exchange(nullptr);
  }
  if (p == nullptr) return;
  p->terminate();
  if (p->isStarted()) {
    // The thread may not have reached its wait when the first break was sent;
    // keep breaking until it has left the loop, then join it.
    IFOSRcLocalEvent pause(IFOS_EVENT_RESET);
    while (p->isRunning()) {
      std::string msg;
      edalDioBreakInterrupt(msg);
      pause.waitEvent(1);
    }
    p->waitForThread();
  }
  delete p;
}

void DioIrDispatcher::waitIrSendEvent(bool& error) {
  unsigned int irqId = 0;
  std::string errorText;
  const unsigned int rc = edalDioWaitForInterrupt(irqId, errorText);
  if (rc != 0) {
    error = true;
    KAV_TRACE(KAVE, "DioIrDispatcher wait failed rc=0x%08X", rc);
    if (!isHwErrorLogged()) {
      setHwErrorLogged(true);
      KAV_TRACE(KAVE, "DioIrDispatcher wait error logged rc=0x%08X", rc);
      BaseErrorData err;
      err = rc;
      err.addDataToErrorBuffer(errorText);
      err.microcodeLog("kav/DioIrDispatcher", __LINE__, "Error in edalDioWaitForInterrupt(..)", 2, false);
    }
    return;
  }
  error = false;
  if (irqId == 0) {
    // A broken wait (termination) carries no interrupt.
    KAV_TRACE(KAVT, "DioIrDispatcher wait returned without interrupt");
    return;
  }
  DioEvent event(irqId, 0, 0, 0);
  DioEventSender::getInstance()->sendEvent(event);
}

long DioIrDispatcher::terminateWait() {
  std::string msg;
  const unsigned int rc = edalDioBreakInterrupt(msg);
  KAV_TRACE(KAVT, "DioIrDispatcher::terminateWait break rc=0x%08X", rc);
  return 0;
}

void initDioIrDispatcher() { DioIrDispatcher::getInstance()->init(); }

void terminateDioIrDispatcher() { DioIrDispatcher::getInstance()->terminate(); }
