// Digital-input interrupts: one process-wide asynchronous-I/O context with
// the pins' requests, a bookkeeping lock (disable and the processing of one
// completed request), each handle's own lock (its pin tables) and the
// context mutex (around each submit). Lock order: bookkeeping lock, handle
// lock, context mutex.
#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>

#include "kav/hwaccess/edal/EdalDioAioKey.h"
#include "kav/hwaccess/edal/EdalDioHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalDio.h"
#include "kav/hwaccess/edal/edalDioCommon.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/scf_os.h"
#include "ravo_aio.h"
#include "ravo_gpio.h"

using edalDioCommon::toDio;
using edalFfdc::hex;
using edalFfdc::join;
using edalFfdc::lastErrno;
using edalFfdc::pointer;

namespace {

const unsigned int kContextCapacity = 500;

// A key record together with the event record of its request, so that both
// live and die together.
struct RequestRecord {
  EdalDioAioKey key;
  ravo_gpio_event_t event;
};

// Created once, never destroyed.
std::mutex g_createLock;
std::atomic<IFOSRcLocalMutex*> g_contextMutex{nullptr};
std::atomic<IFOSRcLocalMutex*> g_bookkeepingLock{nullptr};
std::atomic<ravo_aio_ctx*> g_context{nullptr};

class MutexGuard {
 public:
  explicit MutexGuard(IFOSRcLocalMutex* m) : m_pMutex(m) { m_pMutex->mutexRequest(-1); }
  ~MutexGuard() { m_pMutex->mutexRelease(); }
  MutexGuard(const MutexGuard&) = delete;
  MutexGuard& operator=(const MutexGuard&) = delete;

 private:
  IFOSRcLocalMutex* m_pMutex;
};

class HandleGuard {
 public:
  explicit HandleGuard(const EdalDioHandle* h) : m_pHandle(h) { m_pHandle->request(); }
  ~HandleGuard() { m_pHandle->release(); }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;

 private:
  const EdalDioHandle* m_pHandle;
};

IFOSRcLocalMutex* newMutex() {
  unsigned long rc = 0;
  IFOSRcLocalMutex* m = new (std::nothrow) IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  if (m != nullptr && rc != 0) {
    delete m;
    m = nullptr;
  }
  return m;
}

// Creates the two locks and the context when they do not exist yet.
unsigned int ensureInterruptContext(std::string& msg) {
  if (g_context.load(std::memory_order_acquire) != nullptr) return edal::EDAL_OK;
  std::lock_guard<std::mutex> lock(g_createLock);
  if (g_contextMutex.load() == nullptr) g_contextMutex.store(newMutex());
  if (g_bookkeepingLock.load() == nullptr) g_bookkeepingLock.store(newMutex());
  if (g_contextMutex.load() == nullptr || g_bookkeepingLock.load() == nullptr) {
    KAV_TRACE(KAVE, "edalDio: new IFOSRcLocalMutex failed");
    msg = join("new IFOSRcLocalMutex failed", msg);
    return edal::EDAL_DIO_NOMEM;
  }
  if (g_context.load() == nullptr) {
    ravo_aio_ctx* ctx = ravo_aio_ctx_create(kContextCapacity);
    if (ctx == nullptr) {
      unsigned int err = lastErrno();
      KAV_TRACE(KAVE, "ravo_aio_ctx_create failed errno=%u", err);
      msg = join("ravo_aio_ctx_create for dio edal failed with errno=" + std::to_string(err), msg);
      return edal::EDAL_DIO_BASE + err;
    }
    g_context.store(ctx, std::memory_order_release);
    KAV_TRACE(KAVT, "edalDio: interrupt context %p created", ctx);
  }
  return edal::EDAL_OK;
}

void freeRecord(EdalDioAioKey* key) {
  key->marker = 0;
  delete reinterpret_cast<RequestRecord*>(key);
}

bool deviceGone(int status) { return status == 19 || status == 67 || status == -19 || status == -67; }

// A failed cancel or delete of a pin's request while disabling (errno set):
// the text with the request's status and FFDC goes in front of msg.
unsigned int requestCallFailure(const char* call, EdalDioHandle* dio, unsigned int pin, int status, std::string& msg) {
  const unsigned int err = lastErrno();
  std::string text = std::string("edalDioDisableInterrupt: calling ") + call + "() for device " + dio->getDeviceNm() +
                     " (m_ravo=" + pointer(dio->getRavo()) + ") failed with errno=" + std::to_string(err) +
                     " Status = " + std::to_string(status);
  KAV_TRACE_STR(KAVE, "%s pin=%u", text, pin);
  edalFfdc::collectDio(dio->getRavo(), text);
  msg = join(text, msg);
  return edal::EDAL_DIO_BASE + err;
}

}  // namespace

namespace edalDioCommon {

bool interruptContextExists() { return g_context.load(std::memory_order_acquire) != nullptr; }

}  // namespace edalDioCommon

unsigned int edalDioEnableInterrupt(EdalHandle* h, unsigned int mask, unsigned int polarity, unsigned int irqId,
                                    std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioEnableInterrupt", code, msg);
  if (dio == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalDioEnableInterrupt %s mask=0x%08X polarity=0x%08X irqId=0x%08X", dio->getDeviceNm(), mask,
                polarity, irqId);
  if (mask == 0) {
    msg = join("edalDioEnableInterrupt: error interrupt enable mask = 0", msg);
    return edal::EDAL_DIO_INVAL;
  }
  // The context is created by whichever comes first, the waiting thread or
  // the first enable, so that arming does not depend on thread start order.
  code = ensureInterruptContext(msg);
  if (code != edal::EDAL_OK) return code;
  ravo_aio_ctx* ctx = g_context.load(std::memory_order_acquire);
  IFOSRcLocalMutex* ctxMutex = g_contextMutex.load(std::memory_order_acquire);
  if (ctx == nullptr) {
    msg = join("aio context is not initialized", msg);
    return edal::EDAL_DIO_NO_CONTEXT;
  }
  if (ctxMutex == nullptr) {
    msg = join("aio context mutex is not initialized", msg);
    return edal::EDAL_DIO_NO_CONTEXT_MUTEX;
  }

  HandleGuard handleLock(dio);
  // Pins that already have a request: it must be the same one.
  for (unsigned int pin = 0; pin < EdalDioHandle::PIN_COUNT; ++pin) {
    if (!EdalDioHandle::pinInMask(pin, mask) || dio->AiocbIsNULL(pin)) continue;
    if (dio->IntIsNotEnabled(pin)) {
      KAV_TRACE_STR(KAVE, "edalDioEnableInterrupt %s pin %u pending but not enabled", dio->getDeviceNm(), pin);
      msg = join("edalDioEnableInterrupt: pin " + std::to_string(pin) + " of device " + dio->getDeviceNm() +
                     " has a pending request but is not enabled",
                 msg);
      return edal::EDAL_DIO_NOT_ENABLED;
    }
    const EdalDioAioKey* key = static_cast<const EdalDioAioKey*>(ravo_aiocb_return_key(dio->getAiocb(pin)));
    const uint32_t level = EdalDioHandle::pinBit(pin) & polarity;
    if (key == nullptr || key->irqId != irqId || key->levelMask != level) {
      KAV_TRACE_STR(KAVE, "edalDioEnableInterrupt %s pin %u armed with irqId=0x%08X level=0x%08X", dio->getDeviceNm(),
                    pin, key != nullptr ? key->irqId : 0u, key != nullptr ? key->levelMask : 0u);
      msg = join("edalDioEnableInterrupt: pin " + std::to_string(pin) + " of device " + dio->getDeviceNm() +
                     " is already armed with irqId=" + hex(key != nullptr ? key->irqId : 0u) +
                     " level=" + hex(key != nullptr ? key->levelMask : 0u) + ", requested irqId=" + hex(irqId) +
                     " level=" + hex(level),
                 msg);
      return edal::EDAL_DIO_CONFLICT;
    }
    mask &= ~EdalDioHandle::pinBit(pin);
  }

  for (unsigned int pin = 0; pin < EdalDioHandle::PIN_COUNT; ++pin) {
    if (!EdalDioHandle::pinInMask(pin, mask)) continue;
    const uint32_t bit = EdalDioHandle::pinBit(pin);
    RequestRecord* record = new (std::nothrow) RequestRecord();
    if (record == nullptr) {
      KAV_TRACE(KAVE, "edalDioEnableInterrupt: new key record failed pin=%u", pin);
      msg = join("edalDioEnableInterrupt: new edal aio key failed", msg);
      return edal::EDAL_DIO_NOMEM;
    }
    EdalDioAioKey* key = &record->key;
    if (ravo_gpio_event_init(&record->event, bit & polarity, bit & ~polarity) == -1) {
      unsigned int rc = edalDioCommon::failure(
          "edalDioEnableInterrupt: ravo_gpio_event_init(mask=" + hex(bit) + ", value = " + hex(polarity), dio,
          lastErrno(), msg);
      freeRecord(key);
      return rc;
    }
    ravo_aio_cb* cb = ravo_aiocb_init(key, dio->getRavo(), 0, &record->event, sizeof record->event);
    if (cb == nullptr) {
      unsigned int rc = edalDioCommon::failure(
          "edalDioEnableInterrupt: ravo_aiocb_init(mask=" + hex(bit) + ", value = " + hex(polarity), dio, lastErrno(),
          msg);
      freeRecord(key);
      return rc;
    }
    key->pin = pin;
    key->pHandle = dio;
    key->irqId = irqId;
    key->levelMask = bit & polarity;
    key->threadId = scf_os_get_tid();
    key->state = EDAL_AIOKEY_STATE_LIVE;
    key->marker = EDAL_AIOKEY_MARKER;
    EdalDioAioKey_create_checksum(key);
    int submitted = 0;
    {
      MutexGuard ctxLock(ctxMutex);
      submitted = ravo_aio_ctx_submit(ctx, 1, &cb);
    }
    if (submitted == -1) {
      unsigned int rc = edalDioCommon::failure(
          "edalDioEnableInterrupt: ravo_aio_ctx_submit(mask=" + hex(bit) + ", value = " + hex(polarity), dio,
          lastErrno(), msg);
      if (ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE) == -1)
        KAV_TRACE(KAVE, "edalDioEnableInterrupt: ravo_aiocb_delete failed errno=%u", lastErrno());
      freeRecord(key);
      return rc;
    }
    dio->setEnabled(pin);
    dio->setInterruptPolarity(pin, (polarity & bit) != 0);
    dio->setAiocb(pin, cb);
    KAV_TRACE_STR(KAVT, "edalDioEnableInterrupt %s pin %u armed cb=%p key=%p", dio->getDeviceNm(), pin, cb, key);
  }
  return edal::EDAL_OK;
}

unsigned int edalDioDisableInterrupt(EdalHandle* h, unsigned int mask, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioDisableInterrupt", code, msg);
  if (dio == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalDioDisableInterrupt %s mask=0x%08X", dio->getDeviceNm(), mask);
  IFOSRcLocalMutex* bookkeeping = g_bookkeepingLock.load(std::memory_order_acquire);
  if (bookkeeping == nullptr || g_context.load(std::memory_order_acquire) == nullptr) {
    msg = join("error no aio context available", msg);
    return edal::EDAL_DIO_NO_CONTEXT;
  }
  MutexGuard bookkeepingLock(bookkeeping);
  HandleGuard handleLock(dio);
  for (unsigned int pin = 0; pin < EdalDioHandle::PIN_COUNT; ++pin) {
    if (!EdalDioHandle::pinInMask(pin, mask) || dio->AiocbIsNULL(pin)) continue;
    ravo_aio_cb* cb = dio->getAiocb(pin);
    dio->setDisabled(pin);
    EdalDioAioKey* key = static_cast<EdalDioAioKey*>(ravo_aiocb_return_key(cb));
    EdalDioAioKey_check_checksum(key);
    key->state = EDAL_AIOKEY_STATE_DISABLED;
    dio->setAiocb(pin, nullptr);
    errno = 0;
    if (ravo_aiocb_cancel(cb) == -1) {
      // EAGAIN: completing. A library that already handed the block to the
      // waiting thread may refuse the cancel otherwise; a completed status
      // tells the same.
      const int cancelErrno = errno;
      const int cbStatus = ravo_aiocb_status(cb, nullptr);
      if (cancelErrno == static_cast<int>(edal::EDAL_ERRNO_AGAIN) ||
          (cancelErrno == EINVAL && (cbStatus == RAVO_AIO_STATUS_DONE || deviceGone(cbStatus)))) {
        // Completing: the waiting thread sees the disabled state and frees it.
        // The library recorded the refused cancel as a failure; drop that
        // record so that it does not show up with a later, real failure.
        KAV_TRACE_STR(KAVT, "edalDioDisableInterrupt %s pin %u completing, left to the waiter", dio->getDeviceNm(),
                      pin);
        std::string ignored;
        edalFfdc::collectDio(dio->getRavo(), ignored);
        continue;
      }
      errno = cancelErrno;
      return requestCallFailure("ravo_aiocb_cancel", dio, pin, cbStatus, msg);
    }
    // The cancel took the request out of the context: no waiter will see
    // it, so it is freed here whatever its status reads.
    const int status = ravo_aiocb_status(cb, nullptr);
    if (status != RAVO_AIO_STATUS_CANCELED)
      KAV_TRACE_STR(KAVE, "edalDioDisableInterrupt %s pin %u cancelled with status %d", dio->getDeviceNm(), pin,
                    status);
    if (ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE) == -1)
      return requestCallFailure("ravo_aiocb_delete", dio, pin, status, msg);
    freeRecord(key);
  }
  return edal::EDAL_OK;
}

unsigned int edalDioWaitForInterrupt(unsigned int& irqId, std::string& msg) {
  unsigned int code = ensureInterruptContext(msg);
  if (code != edal::EDAL_OK) return code;
  ravo_aio_ctx* ctx = g_context.load(std::memory_order_acquire);
  IFOSRcLocalMutex* bookkeeping = g_bookkeepingLock.load(std::memory_order_acquire);
  for (;;) {
    unsigned int n = 0;
    ravo_aio_cb* cb = nullptr;
    if (ravo_aio_ctx_wait(ctx, 1, 1, nullptr, &n, &cb) == -1) {
      const int err = errno;
      msg = join("ravo_aio_ctx_wait failed with errno=" + std::to_string(err), msg);
      if (err == EINTR) {
        // Broken: no interrupt. The caller looks at its own stop flag.
        KAV_TRACE(KAVT, "edalDioWaitForInterrupt: wait broken");
        irqId = 0;
        return edal::EDAL_OK;
      }
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: wait failed errno=%u", static_cast<unsigned int>(err));
      return edal::EDAL_DIO_BASE + lastErrno();
    }
    if (n != 1 || cb == nullptr) {
      unsigned int err = static_cast<unsigned int>(errno);
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: wait delivered %u requests errno=%u", n, err);
      msg = join("ravo_aio_ctx_wait for dio edal failed with errno=" + std::to_string(err) + "nr = " + std::to_string(n),
                 msg);
      return edal::EDAL_DIO_BASE + err;
    }

    bool live = false;
    int status = 0;
    unsigned int firedId = 0;
    EdalDioAioKey* key = nullptr;
    {
      MutexGuard bookkeepingLock(bookkeeping);
      key = static_cast<EdalDioAioKey*>(ravo_aiocb_return_key(cb));
      if (key != nullptr && key->state == EDAL_AIOKEY_STATE_LIVE) {
        int second = 0;
        status = ravo_aiocb_status(cb, &second);
        EdalDioAioKey_trace(key);
        EdalDioAioKey_check_checksum(key);
        EdalDioHandle* owner = key->pHandle;
        HandleGuard handleLock(owner);
        firedId = key->irqId;
        // One-shot: the owner enables again to arm the pin again.
        if (owner->getAiocb(key->pin) == cb) owner->setAiocb(key->pin, nullptr);
        live = true;
      } else if (key != nullptr) {
        KAV_TRACE(KAVT, "edalDioWaitForInterrupt: request %p of a disabled pin, key %p", cb, key);
        EdalDioAioKey_trace(key);
      }
    }
    if (key == nullptr) {
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: request %p without key", cb);
    } else if (key->marker == EDAL_AIOKEY_MARKER) {
      freeRecord(key);
    } else {
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: key %p marker 0x%08X, not freed", key, key->marker);
    }
    if (ravo_aiocb_delete(cb, RAVO_AIOCB_DELETE_FREE) == -1)
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: ravo_aiocb_delete failed errno=%u", lastErrno());
    if (live && deviceGone(status)) {
      KAV_TRACE(KAVE, "edalDioWaitForInterrupt: device gone, irqId=0x%08X status=%u", firedId,
                static_cast<unsigned int>(status));
      continue;
    }
    if (live) {
      irqId = firedId;
      KAV_TRACE(KAVT, "edalDioWaitForInterrupt irqId=0x%08X status=%u", irqId, static_cast<unsigned int>(status));
      return edal::EDAL_OK;
    }
  }
}

unsigned int edalDioBreakInterrupt(std::string& msg) {
  ravo_aio_ctx* ctx = g_context.load(std::memory_order_acquire);
  if (ctx == nullptr) {
    msg = join("error no aio context available", msg);
    return edal::EDAL_DIO_NO_CONTEXT;
  }
  if (g_contextMutex.load(std::memory_order_acquire) == nullptr) {
    msg = join("error no aio context mutex available", msg);
    return edal::EDAL_DIO_NO_CONTEXT_MUTEX;
  }
  if (ravo_aio_ctx_break_wait(ctx) == -1) {
    unsigned int err = lastErrno();
    KAV_TRACE(KAVE, "edalDioBreakInterrupt failed errno=%u", err);
    msg = join("ravo_aio_ctx_break_wait failed with errno=" + std::to_string(err), msg);
    return edal::EDAL_DIO_BASE + err;
  }
  KAV_TRACE(KAVT, "edalDioBreakInterrupt");
  return edal::EDAL_OK;
}

unsigned int edalDioResetInterruptCondition(EdalHandle* h, unsigned int mask, std::string& msg) {
  unsigned int code = 0;
  EdalDioHandle* dio = toDio(h, "edalDioResetInterruptCondition", code, msg);
  if (dio == nullptr) return code;
  if (g_context.load(std::memory_order_acquire) == nullptr) {
    msg = join("error no aio context available", msg);
    return edal::EDAL_DIO_NO_CONTEXT;
  }
  for (unsigned int pin = 0; pin < EdalDioHandle::PIN_COUNT; ++pin)
    if (EdalDioHandle::pinInMask(pin, mask))
      KAV_TRACE_STR(KAVT, "edalDioResetInterruptCondition %s pin %u", dio->getDeviceNm(), pin);
  if (ravo_gpio_reset_interrupt_condition(dio->getRavo(), mask) == -1) {
    unsigned int err = lastErrno();
    std::string text = "ravo_gpio_reset_interrupt_condition for device " + dio->getDeviceNm() +
                       " (m_ravo=" + pointer(dio->getRavo()) + ") failed with errno=" + std::to_string(err);
    KAV_TRACE_STR(KAVE, "%s reset interrupt condition failed errno=%u", dio->getDeviceNm(), err);
    edalFfdc::collectDio(dio->getRavo(), text);
    msg = join(text, msg);
    return err;
  }
  return edal::EDAL_OK;
}
