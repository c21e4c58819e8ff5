// One digital signal on one pin of a device (pin n = bit 1 << n), with a
// mode, a polarity (which level is "on") and, for outputs, an initial state.
// Reaches its device through its single DioHwdInterfaceLink hidden child.
// With a dynamic link (a device on a card that comes and goes) configuration
// and initialisation wait in the pending list until the device is there and
// run again, in order, every time it returns.
#ifndef KAV_HWACCESS_DIOHWR_H
#define KAV_HWACCESS_DIOHWR_H

#include "kav/hwaccess/dio/DioHwdInterface.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/tree/start/InitSequence.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class DioHwdInterfaceLink;

class KAV_EXPORT DioHwr : public DioHwrInterface {
  KAV_TREE_CLASS(DioHwr)

 public:
  DioHwr();
  ~DioHwr() override;

  // Pin (75, < 32), mode (74), polarity (76), initial state of outputs (73),
  // logical id (137, optional), suppress logging (132, optional).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData reconfigure(dioMode::DioMode_t mode) override;
  ErrorData read(dioState::DioState_t& state) override;
  // Store the requested state, then write it when the device is there and
  // nothing is pending (else 0x7360; the state is applied later).
  ErrorData on() override;
  ErrorData off() override;
  ErrorData blink(unsigned int rate) override;
  // A power step switches the signal: "on" calls on(), "off" off(); any
  // other position is 0x7013 and changes nothing.
  ErrorData switchForPwrCtrl(unsigned int signalName, unsigned int switchId) override;
  ErrorData enableIrq(dioState::DioState_t state) override;
  ErrorData disableIrq() override;
  ErrorData resetIrqCondition() override;
  unsigned int getOnIrqId() override;
  unsigned int getOffIrqId() override;
  unsigned int getLogicalId() const override { return m_logicalId; }

  // The link's callback: replays the pending steps with a device, queues
  // the configuration again without one.
  void hwdLinkChanged();

  unsigned int getPin() const { return m_dio; }
  dioMode::DioMode_t getMode() const { return m_dioMode; }
  unsigned int getPolarity() const { return m_dioPolarity; }
  dioState::DioState_t getDefaultState() const { return m_defaultState; }
  dioState::DioState_t getCurrentState() const;
  kavstl::vector<initSequence::Id_t> getPendingInitSequences() const;

  // Direct set-up (tests and tools).
  void setSignal(unsigned int pin, dioMode::DioMode_t mode, unsigned int polarity, dioState::DioState_t defaultState);

 private:
  ErrorData configDio();
  ErrorData initializeDio();
  // The steps of this class (without the base).
  ErrorData runStep(initSequence::Id_t step);
  KavPtr<DioHwdInterface> device() const;
  unsigned int pinMask() const;
  // The levels that make the signal show state; false for an invalid polarity.
  bool levelMaskOf(dioState::DioState_t state, unsigned int& levelMask) const;
  ErrorData writeState(dioState::DioState_t state);
  unsigned int irqIdOf(bool on);
  void addPending(initSequence::Id_t step);
  void checkAndLogError(ErrorData& err, bool configurationPhase);
  // Once, when the device link is dynamic.
  void registerLinkCallBack();

  unsigned int m_dio;
  dioMode::DioMode_t m_dioMode;
  unsigned int m_dioPolarity;
  unsigned int m_onIrqId;
  unsigned int m_offIrqId;
  dioState::DioState_t m_defaultState;
  dioState::DioState_t m_currentState;
  unsigned int m_logicalId;
  kavstl::list<initSequence::Id_t> m_pendingInitSequences;
  KavPtr<DioHwdInterfaceLink> m_dioHwdLink;
  bool m_errorLogged;
  bool m_suppressLogging;
  bool m_callBackRegistered;
};

extern "C" KAV_EXPORT BuildBase* createDioHwr(void* argument, BaseErrorData& error);

#endif
