#include "kav/hwaccess/dio/DioHwr.h"

#include <cstdio>

#include "kav/hwaccess/dio/DioHwdInterfaceLink.h"
#include "kav/hwaccess/links/LinkCallBack.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/objects/HiddenChild.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(DioHwr, DioHwrInterface)

namespace {
const unsigned int kNoDevice = 0x7360u;
const unsigned int kNoDeviceLink = 0x7361u;
const unsigned int kInvalidMode = 0x7160u;
const unsigned int kInvalidPolarity = 0x7161u;
const unsigned int kInvalidInitialState = 0x7162u;
const unsigned int kInvalidPin = 0x7170u;
const unsigned int kInvalidPolarityInUse = 0x7173u;
const unsigned int kInvalidStateToApply = 0x7176u;
const unsigned int kMissingAttribute = 0x7145u;
const unsigned int kUnknownSwitch = 0x7013u;
}  // namespace

DioHwr::DioHwr()
    : m_dio(0xFFFFFFFFu),
      m_dioMode(dioMode::DIO_MODE_NONE),
      m_dioPolarity(dioPolarity::DIO_POLARITY_NONE),
      m_onIrqId(0),
      m_offIrqId(0),
      m_defaultState(dioState::DIO_STATE_NONE),
      m_currentState(dioState::DIO_STATE_NONE),
      m_logicalId(0xFFFFFFFFu),
      m_errorLogged(false),
      m_suppressLogging(false),
      m_callBackRegistered(false) {}

DioHwr::~DioHwr() {}

BaseErrorData DioHwr::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = DioHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeUint32(&m_dio, kav::sid::DIO_PIN, *node, false);
  if (m_dio >= 32) {
    KAV_TRACE(KAVE, "DioHwr pin %u out of range", m_dio);
    rc = kInvalidPin;
  }
  unsigned int id = 0;
  rc = getAttributeStringId(&id, kav::sid::DIO_MODE, *node, false);
  if (!dioMode::fromStringId(id, m_dioMode)) {
    KAV_TRACE(KAVE, "DioHwr pin %u invalid mode id %u", m_dio, id);
    rc = kInvalidMode;
  }
  id = 0;
  rc = getAttributeStringId(&id, kav::sid::DIO_POLARITY, *node, false);
  if (!dioPolarity::fromStringId(id, m_dioPolarity)) {
    KAV_TRACE(KAVE, "DioHwr pin %u invalid polarity id %u", m_dio, id);
    rc = kInvalidPolarity;
  }
  if (dioMode::isOutputMode(m_dioMode)) {
    id = 0;
    rc = getAttributeStringId(&id, kav::sid::DIO_INITIAL_STATE, *node, false);
    if (id == kav::sid::STATE_ON) {
      m_defaultState = dioState::DIO_STATE_ON;
    } else if (id == kav::sid::STATE_OFF) {
      m_defaultState = dioState::DIO_STATE_OFF;
    } else {
      KAV_TRACE(KAVE, "DioHwr pin %u invalid initial state id %u", m_dio, id);
      rc = kInvalidInitialState;
    }
  }
  unsigned int logicalId = 0;
  if (getAttributeUint32(&logicalId, kav::sid::DIO_LOGICAL_ID, *node, true) == 0) m_logicalId = logicalId;
  id = 0;
  BaseErrorData optional = getAttributeStringId(&id, kav::sid::DIO_SUPPRESS_LOGGING, *node, true);
  if (optional == 0) {
    if (id == kav::sid::YES_TEXT) m_suppressLogging = true;
    if (id == kav::sid::NO_TEXT) m_suppressLogging = false;
  } else if (optional != kMissingAttribute) {
    rc = optional;
  }
  return rc;
}

void DioHwr::setSignal(unsigned int pin, dioMode::DioMode_t mode, unsigned int polarity,
                       dioState::DioState_t defaultState) {
  IFOSGuard<const QueryBase> guard(*this);
  m_dio = pin;
  m_dioMode = mode;
  m_dioPolarity = polarity;
  m_defaultState = defaultState;
  m_onIrqId = 0;
  m_offIrqId = 0;
}

BaseErrorData DioHwr::init(initSequence::Id_t step) {
  BaseErrorData rc = DioHwrInterface::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    unsigned int count = 0;
    KavPtr<DioHwdInterfaceLink> link = singleHiddenChild<DioHwdInterfaceLink>(*this, count);
    if (link == nullptr) {
      KAV_TRACE(KAVE, "DioHwr::init pin %u no single device link count=%u", m_dio, count);
      rc = kNoDeviceLink;
      return rc;
    }
    {
      IFOSGuard<const QueryBase> guard(*this);
      m_dioHwdLink = link;
    }
    registerLinkCallBack();
    return rc;
  }
  if (step == initSequence::INIT_CONFIG_DIO) {
    // The link takes its own step 3 after this object (children follow their
    // parent): it may only now know that it is dynamic.
    registerLinkCallBack();
  }
  if (step == initSequence::INIT_CONFIG_DIO || step == initSequence::INIT_DEACTIVATED_HW) rc = runStep(step);
  return rc;
}

void DioHwr::registerLinkCallBack() {
  KavPtr<DioHwdInterfaceLink> link;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_callBackRegistered) return;
    link = m_dioHwdLink;
  }
  if (link == nullptr || !link->isDynamicLink()) return;
  LinkCallBack<DioHwr> callBack(this, &DioHwr::hwdLinkChanged);
  const bool stored = link->registerCallBack(callBack);
  if (!stored) KAV_TRACE(KAVE, "DioHwr pin %u callback not registered", m_dio);
  IFOSGuard<const QueryBase> guard(*this);
  m_callBackRegistered = stored;
}

BaseErrorData DioHwr::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    KavPtr<DioHwdInterfaceLink> link;
    {
      IFOSGuard<const QueryBase> guard(*this);
      link = m_dioHwdLink;
      m_dioHwdLink = nullptr;
    }
    if (link != nullptr && link->isDynamicLink()) link->deleteCallBack();
    IFOSGuard<const QueryBase> guard(*this);
    m_callBackRegistered = false;
  }
  return DioHwrInterface::terminate(step);
}

ErrorData DioHwr::runStep(initSequence::Id_t step) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (step == initSequence::INIT_CONFIG_DIO) {
    err = configDio();
  } else if (step == initSequence::INIT_DEACTIVATED_HW) {
    if (m_pendingInitSequences.empty())
      err = initializeDio();
    else
      addPending(step);
  }
  return err;
}

void DioHwr::addPending(initSequence::Id_t step) {
  // A step waits once; a second wait for it adds nothing.
  for (initSequence::Id_t pending : m_pendingInitSequences)
    if (pending == step) return;
  m_pendingInitSequences.push_back(step);
  KAV_TRACE(KAVT, "DioHwr pin %u step %u pending", m_dio, static_cast<unsigned int>(step));
}

KavPtr<DioHwdInterface> DioHwr::device() const {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_dioHwdLink == nullptr) return KavPtr<DioHwdInterface>();
  return m_dioHwdLink->getLinkTarget();
}

unsigned int DioHwr::pinMask() const { return m_dio < 32 ? (1u << m_dio) : 0u; }

ErrorData DioHwr::configDio() {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd != nullptr) {
    err = hwd->configure(pinMask(), m_dioMode);
    checkAndLogError(err, true);
    return err;
  }
  if (m_dioHwdLink != nullptr && m_dioHwdLink->isDynamicLink()) {
    addPending(initSequence::INIT_CONFIG_DIO);
  } else {
    KAV_TRACE(KAVE, "DioHwr::configDio pin %u without device", m_dio);
    err = kNoDevice;
  }
  return err;
}

ErrorData DioHwr::initializeDio() {
  ErrorData err;
  if (!dioMode::isOutputMode(m_dioMode)) return err;
  const dioState::DioState_t state = m_currentState != dioState::DIO_STATE_NONE ? m_currentState : m_defaultState;
  if (state == dioState::DIO_STATE_ON) {
    err = on();
  } else if (state == dioState::DIO_STATE_OFF) {
    err = off();
  } else {
    KAV_TRACE(KAVE, "DioHwr::initializeDio pin %u invalid state %u", m_dio, static_cast<unsigned int>(state));
    err = kInvalidStateToApply;
  }
  return err;
}

void DioHwr::hwdLinkChanged() {
  IFOSGuard<const QueryBase> guard(*this);
  if (device() != nullptr) {
    // Steps that fail again queue themselves again; run what was pending now.
    kavstl::list<initSequence::Id_t> pending;
    pending.swap(m_pendingInitSequences);
    KAV_TRACE(KAVT, "DioHwr::hwdLinkChanged pin %u device present, %u pending", m_dio,
              static_cast<unsigned int>(pending.size()));
    while (!pending.empty()) {
      const initSequence::Id_t step = pending.front();
      pending.pop_front();
      runStep(step);
    }
  } else {
    // Without its card the pin must be configured and set again on return.
    // The returning card's power control runs the initial-state step only
    // over the card's own subtree: a signal outside it (in the base domain,
    // on a device of the card) would otherwise keep the pin at its configured
    // level and lose the state asked for while the card was away.
    KAV_TRACE(KAVT, "DioHwr::hwdLinkChanged pin %u device gone", m_dio);
    addPending(initSequence::INIT_CONFIG_DIO);
    addPending(initSequence::INIT_DEACTIVATED_HW);
  }
}

bool DioHwr::levelMaskOf(dioState::DioState_t state, unsigned int& levelMask) const {
  const bool on = state == dioState::DIO_STATE_ON;
  if (m_dioPolarity == dioPolarity::DIO_POLARITY_HIGH_ON) {
    levelMask = on ? pinMask() : 0u;
    return true;
  }
  if (m_dioPolarity == dioPolarity::DIO_POLARITY_LOW_ON) {
    levelMask = on ? 0u : pinMask();
    return true;
  }
  levelMask = 0;
  return false;
}

ErrorData DioHwr::writeState(dioState::DioState_t state) {
  IFOSGuard<const QueryBase> guard(*this);
  m_currentState = state;
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr || !m_pendingInitSequences.empty()) {
    KAV_TRACE(KAVT, "DioHwr pin %u state %u requested without device", m_dio, static_cast<unsigned int>(state));
    err = kNoDevice;
  } else {
    unsigned int level = 0;
    if (!levelMaskOf(state, level)) {
      KAV_TRACE(KAVE, "DioHwr pin %u invalid polarity %u", m_dio, m_dioPolarity);
      err = kInvalidPolarityInUse;
    } else {
      err = hwd->writeLevel(pinMask(), level);
    }
  }
  checkAndLogError(err, false);
  return err;
}

ErrorData DioHwr::on() { return writeState(dioState::DIO_STATE_ON); }

ErrorData DioHwr::off() { return writeState(dioState::DIO_STATE_OFF); }

ErrorData DioHwr::switchForPwrCtrl(unsigned int signalName, unsigned int switchId) {
  KAV_TRACE(KAVT, "DioHwr::switchForPwrCtrl pin %u signal=%u switch=%u", m_dio, signalName, switchId);
  if (switchId == kav::sid::STATE_ON) return on();
  if (switchId == kav::sid::STATE_OFF) return off();
  KAV_TRACE(KAVE, "DioHwr::switchForPwrCtrl pin %u unknown switch %u", m_dio, switchId);
  return ErrorData(ErrorData::NO_OVERWRITE, kUnknownSwitch);
}

ErrorData DioHwr::read(dioState::DioState_t& state) {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr) {
    err = kNoDevice;
  } else {
    unsigned int level = 0;
    err = hwd->readLevel(pinMask(), level);
    if (err == 0) {
      const bool high = (level & pinMask()) != 0;
      if (m_dioPolarity == dioPolarity::DIO_POLARITY_HIGH_ON) {
        state = high ? dioState::DIO_STATE_ON : dioState::DIO_STATE_OFF;
      } else if (m_dioPolarity == dioPolarity::DIO_POLARITY_LOW_ON) {
        state = high ? dioState::DIO_STATE_OFF : dioState::DIO_STATE_ON;
      } else {
        KAV_TRACE(KAVE, "DioHwr::read pin %u invalid polarity %u", m_dio, m_dioPolarity);
        state = dioState::DIO_STATE_OFF;
        err = kInvalidPolarityInUse;
      }
    }
  }
  checkAndLogError(err, false);
  return err;
}

ErrorData DioHwr::blink(unsigned int rate) {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr)
    err = kNoDevice;
  else
    err = hwd->blink(pinMask(), rate);
  checkAndLogError(err, false);
  return err;
}

ErrorData DioHwr::reconfigure(dioMode::DioMode_t mode) {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr)
    err = kNoDevice;
  else
    err = hwd->reconfigure(pinMask(), mode);
  checkAndLogError(err, true);
  return err;
}

ErrorData DioHwr::enableIrq(dioState::DioState_t state) {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kNoDevice);
  unsigned int level = 0;
  if (!levelMaskOf(state, level)) return ErrorData(ErrorData::NO_OVERWRITE, kInvalidPolarityInUse);
  const unsigned int irqId = state == dioState::DIO_STATE_ON ? getOnIrqId() : getOffIrqId();
  if (irqId == 0) {
    // The device went out of reach after the check: a request under no id
    // would never be delivered.
    KAV_TRACE(KAVE, "DioHwr::enableIrq pin %u without interrupt id", m_dio);
    return ErrorData(ErrorData::NO_OVERWRITE, kNoDevice);
  }
  err = hwd->enableIrq(pinMask(), level, irqId);
  return err;
}

ErrorData DioHwr::disableIrq() {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr)
    err = kNoDevice;
  else
    err = hwd->disableIrq(pinMask());
  checkAndLogError(err, false);
  return err;
}

ErrorData DioHwr::resetIrqCondition() {
  ErrorData err;
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr)
    err = kNoDevice;
  else
    err = hwd->resetIrqCondition(pinMask());
  checkAndLogError(err, false);
  return err;
}

unsigned int DioHwr::irqIdOf(bool on) {
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr) return 0;
  // On is the high level for polarity 1 and the low level for polarity 2.
  const bool high = (m_dioPolarity == dioPolarity::DIO_POLARITY_HIGH_ON) == on;
  return high ? hwd->getIrqIdHighLevel(pinMask()) : hwd->getIrqIdLowLevel(pinMask());
}

unsigned int DioHwr::getOnIrqId() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_onIrqId == 0) m_onIrqId = irqIdOf(true);
  return m_onIrqId;
}

unsigned int DioHwr::getOffIrqId() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_offIrqId == 0) m_offIrqId = irqIdOf(false);
  return m_offIrqId;
}

dioState::DioState_t DioHwr::getCurrentState() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_currentState;
}

kavstl::vector<initSequence::Id_t> DioHwr::getPendingInitSequences() const {
  IFOSGuard<const QueryBase> guard(*this);
  return kavstl::vector<initSequence::Id_t>(m_pendingInitSequences.begin(), m_pendingInitSequences.end());
}

void DioHwr::checkAndLogError(ErrorData& err, bool configurationPhase) {
  if (err == 0) return;
  if (m_suppressLogging) {
    KAV_TRACE(KAVE, "DioHwr pin %u error 0x%08X (logging suppressed)", m_dio, err.getRc());
    return;
  }
  if (!err.isSrcDefined()) return;
  if (!configurationPhase) {
    // Reads and writes come from several threads: one of them logs.
    IFOSGuard<const QueryBase> guard(*this);
    if (m_errorLogged) {
      err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
      return;
    }
    m_errorLogged = true;
  }
  char text[80];
  std::snprintf(text, sizeof(text), "pin=%u, mode=%u, polarity=%u", m_dio, static_cast<unsigned int>(m_dioMode),
                m_dioPolarity);
  err << text;
  err.addSlotId(getSlotId());
  KAV_TRACE(KAVE, "DioHwr pin %u logs error 0x%08X", m_dio, err.getRc());
  err.logSynchron(kavstl::string(), kavstl::string(), KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
}

BuildBase* createDioHwr(void*, BaseErrorData&) { return (new DioHwr())->getBuildInterface(); }
