#include "kav/hwaccess/edal/EdalDioHandle.h"

#include <new>

#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"

EdalDioHandle::EdalDioHandle() : m_reserved(0), m_interruptPolarity(0), m_pLock(nullptr) {
  for (unsigned int pin = 0; pin < PIN_COUNT; ++pin) {
    m_pAiocb[pin] = nullptr;
    m_flags[pin] = 0;
  }
  unsigned long rc = 0;
  m_pLock = new (std::nothrow) IFOSRcLocalMutex(IFOS_MUTEX_UNLOCKED, &rc);
  if (m_pLock != nullptr && rc != 0) {
    KAV_TRACE(KAVE, "EdalDioHandle: lock creation failed rc=0x%08X", rc);
    delete m_pLock;
    m_pLock = nullptr;
  }
}

EdalDioHandle::~EdalDioHandle() { delete m_pLock; }

bool EdalDioHandle::pinValid(unsigned int pin) {
  if (pin < PIN_COUNT) return true;
  KAV_TRACE(KAVE, "pinValid: pin %u beyond %u", pin, PIN_COUNT - 1);
  return false;
}

void EdalDioHandle::setInterruptPolarity(unsigned int pin, bool high) {
  if (!pinValid(pin)) return;
  if (high)
    m_interruptPolarity |= pinBit(pin);
  else
    m_interruptPolarity &= ~pinBit(pin);
}

bool EdalDioHandle::getInterruptPolarity(unsigned int pin) const {
  if (!pinValid(pin)) return false;
  return (m_interruptPolarity & pinBit(pin)) != 0;
}

void EdalDioHandle::request() const {
  if (m_pLock != nullptr) m_pLock->mutexRequest(-1);
}

void EdalDioHandle::release() const {
  if (m_pLock != nullptr) m_pLock->mutexRelease();
}

void EdalDioHandle::setAiocb(unsigned int pin, ravo_aio_cb* cb) {
  if (pinValid(pin)) m_pAiocb[pin] = cb;
}

ravo_aio_cb* EdalDioHandle::getAiocb(unsigned int pin) const { return pinValid(pin) ? m_pAiocb[pin] : nullptr; }

void EdalDioHandle::setEnabled(unsigned int pin) {
  if (pinValid(pin)) m_flags[pin] |= FLAG_ENABLED;
}

void EdalDioHandle::setDisabled(unsigned int pin) {
  if (pinValid(pin)) m_flags[pin] &= ~FLAG_ENABLED;
}

bool EdalDioHandle::IntIsEnabled(unsigned int pin) const {
  return pinValid(pin) && (m_flags[pin] & FLAG_ENABLED) != 0;
}
