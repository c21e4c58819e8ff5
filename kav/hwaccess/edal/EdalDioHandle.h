// Handle of one digital-I/O engine: the device, the interrupt polarity of the
// pins, and per pin the pending interrupt request and the enabled flag.
// Pin n of a mask is bit 0x80000000 >> n.
#ifndef KAV_HWACCESS_EDALDIOHANDLE_H
#define KAV_HWACCESS_EDALDIOHANDLE_H

#include "kav/hwaccess/edal/EdalHandle.h"

class IFOSRcLocalMutex;
struct ravo_aio_cb;

class EdalDioHandle : public EdalHandle {
 public:
  static const unsigned int PIN_COUNT = 32;

  EdalDioHandle();
  ~EdalDioHandle() override;

  // False when the handle's lock could not be created; such a handle is unusable.
  bool isValid() const { return m_pLock != nullptr; }
  // Always 0; kept for the layout of the handle.
  unsigned int getReserved() const { return m_reserved; }

  static bool pinValid(unsigned int pin);
  static unsigned int pinBit(unsigned int pin) { return 0x80000000u >> pin; }
  static bool pinInMask(unsigned int pin, unsigned int mask) { return pin < PIN_COUNT && (mask & pinBit(pin)) != 0; }

  void setInterruptPolarity(unsigned int pin, bool high);
  bool getInterruptPolarity(unsigned int pin) const;

  // The handle's own lock, waited for without limit.
  void request() const;
  void release() const;

  void setAiocb(unsigned int pin, ravo_aio_cb* cb);
  ravo_aio_cb* getAiocb(unsigned int pin) const;
  bool AiocbIsNULL(unsigned int pin) const { return getAiocb(pin) == nullptr; }
  bool AiocbIsNotNULL(unsigned int pin) const { return getAiocb(pin) != nullptr; }

  void setEnabled(unsigned int pin);
  void setDisabled(unsigned int pin);
  bool IntIsEnabled(unsigned int pin) const;
  bool IntIsNotEnabled(unsigned int pin) const { return !IntIsEnabled(pin); }

 private:
  static const unsigned int FLAG_ENABLED = 0x1;

  unsigned int m_reserved;
  unsigned int m_interruptPolarity;
  IFOSRcLocalMutex* m_pLock;
  ravo_aio_cb* m_pAiocb[PIN_COUNT];
  unsigned int m_flags[PIN_COUNT];
};

#endif
