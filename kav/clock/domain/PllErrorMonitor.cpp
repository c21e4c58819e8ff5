#include "kav/clock/domain/PllErrorMonitor.h"

#include "kav/clockchips/HwEventReport.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/DioEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(PllErrorMonitor, PowerControllable)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kBadSwitch = 0x7002;
const unsigned int kEngineDeleted = 0x7017;
const unsigned int kEngineNotOpen = 0x7019;
const unsigned int kHandlerLimitMs = 1000;
const unsigned int kNotRegistered = 0xFFFFFFFFu;
// The indicator's bit among the lines of the re-arm bookkeeping.
const unsigned int kIndicator = 0;

ErrorData failure(unsigned int rc) { return ErrorData(ErrorData::NO_OVERWRITE, rc); }

}  // namespace

const kavstl::string& asString(PllHwdInterface::PllErrorType_t type) {
  switch (type) {
    case PllHwdInterface::PLL_ERROR_0:
      return get_string_by_id(kav::sid::PLL_ERROR_REFERENCE_LOST);
    case PllHwdInterface::PLL_ERROR_1:
      return get_string_by_id(kav::sid::PLL_ERROR_LOCK_LOST);
    default:
      return get_string_by_id(0);
  }
}

PllErrorMonitor::PllErrorMonitor()
    : m_regIdPllErr(kNotRegistered), m_monitoring(false), m_rearm(*this, &PllErrorMonitor::runRearm) {}

PllErrorMonitor::~PllErrorMonitor() {}

BaseErrorData PllErrorMonitor::init(initSequence::Id_t step) {
  BaseErrorData rc = PowerControllable::init(step);
  switch (step) {
    case initSequence::INIT_LINK_TREE_ELEMENTS:
      rc = linkChildren();
      break;
    case initSequence::INIT_REGISTER_EVENTS:
      rc = registerEvents();
      break;
    case initSequence::INIT_ENABLE_INTERRUPTS:
      rc = enableErrorMonitoring();
      break;
    case initSequence::INIT_DISABLE_INTERRUPTS:
      rc = disableErrorMonitoring();
      break;
    default:
      break;
  }
  return rc;
}

BaseErrorData PllErrorMonitor::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) {
    deregisterEvents();
    m_rearm.cancelRearm();
  }
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) releaseChildren();
  return PowerControllable::terminate(step);
}

ErrorData PllErrorMonitor::linkChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  unsigned int count = 0;
  m_pPllHwdLink = singleHiddenChild<PllHwdInterfaceLink>(*this, count);
  if (m_pPllHwdLink == nullptr) {
    KAV_TRACE(KAVE, "PllErrorMonitor::linkChildren no single PLL link slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  m_pPllErrorIndicator = singleHiddenChild<DioHwrInterface>(*this, count);
  if (m_pPllErrorIndicator == nullptr) {
    KAV_TRACE(KAVE, "PllErrorMonitor::linkChildren no single indicator slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  return rc;
}

void PllErrorMonitor::releaseChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  m_pPllHwdLink = KavPtr<PllHwdInterfaceLink>();
  m_pPllErrorIndicator = KavPtr<DioHwrInterface>();
}

KavPtr<PllHwdInterface> PllErrorMonitor::getHwdInterface() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pPllHwdLink == nullptr ? KavPtr<PllHwdInterface>() : m_pPllHwdLink->getLinkTarget();
}

BaseErrorData PllErrorMonitor::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_regIdPllErr != kNotRegistered) return BaseErrorData();
  if (m_pPllErrorIndicator != nullptr) {
    const long id =
        registerForEvent<DioEvent, PllErrorMonitor>(DioEventSender::getInstance()->getEventSource(), &m_router,
                                                    m_pPllErrorIndicator->getOnIrqId(), this,
                                                    &PllErrorMonitor::handlePllError, false);
    if (id >= 0) m_regIdPllErr = static_cast<unsigned int>(id);
  }
  KAV_TRACE(KAVT, "PllErrorMonitor::registerEvents slot=0x%08X id=0x%08X", getSlotId(), m_regIdPllErr);
  BaseErrorData rc;
  if (m_regIdPllErr == kNotRegistered) rc = kMissing;
  return rc;
}

void PllErrorMonitor::deregisterEvents() {
  unsigned int id;
  {
    IFOSGuard<const QueryBase> guard(*this);
    id = m_regIdPllErr;
    m_regIdPllErr = kNotRegistered;
  }
  // Outside the guard: the router waits for a running handler, which takes it.
  if (id != kNotRegistered) m_router.deregisterFromEvent(static_cast<long>(id));
}

bool PllErrorMonitor::eventsRegistered() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_regIdPllErr != kNotRegistered;
}

bool PllErrorMonitor::isMonitoring() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_monitoring;
}

bool PllErrorMonitor::isIndicatorHeld() const { return m_rearm.getHeldLines() != 0; }

ErrorData PllErrorMonitor::switchForPwrCtrl(unsigned int sequence, unsigned int step) {
  ErrorData rc;
  if (sequence != kav::sid::INTERRUPT_CONTROL_SEQUENCE) {
    rc = kBadSwitch;
  } else if (step == kav::sid::STATE_OFF) {
    rc = disableErrorMonitoring();
  } else if (step == kav::sid::STATE_ON) {
    rc = resetAllErrors();
    rc = enableErrorMonitoring();
  } else {
    rc = kBadSwitch;
  }
  const kavstl::string names = get_string_by_id(sequence) + "," + get_string_by_id(step);
  KAV_TRACE_STR(KAVT, "PllErrorMonitor::switchForPwrCtrl %s slot=0x%08X rc=0x%08X", names, getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllErrorMonitor::readErrorFlags(kavstl::set<PllErrorType_t>& flags) {
  IFOSGuard<const QueryBase> guard(*this);
  flags.clear();
  KavPtr<PllHwdInterface> pll = getHwdInterface();
  if (pll == nullptr) return failure(kMissing);
  return pll->readErrorFlags(flags);
}

ErrorData PllErrorMonitor::resetAllErrors() {
  IFOSGuard<const QueryBase> guard(*this);
  KavPtr<PllHwdInterface> pll = getHwdInterface();
  if (pll == nullptr) return failure(kMissing);
  return pll->resetAllErrorFlags();
}

ErrorData PllErrorMonitor::enableErrorMonitoring() {
  IFOSGuard<const QueryBase> guard(*this);
  m_rearm.cancelRearm();
  m_monitoring = true;
  if (m_pPllErrorIndicator == nullptr) return failure(kMissing);
  const ErrorData rc = AlarmLineRearm::arm(m_pPllErrorIndicator);
  KAV_TRACE(KAVT, "PllErrorMonitor::enableErrorMonitoring slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllErrorMonitor::disableErrorMonitoring() {
  IFOSGuard<const QueryBase> guard(*this);
  m_rearm.cancelRearm();
  m_monitoring = false;
  if (m_pPllErrorIndicator == nullptr) return failure(kMissing);
  const ErrorData rc = m_pPllErrorIndicator->disableIrq();
  KAV_TRACE(KAVT, "PllErrorMonitor::disableErrorMonitoring slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

ErrorData PllErrorMonitor::describeEvent(kavstl::string& text) {
  text = HwEventReport::headline(getSlotId(), "Pll", get_string_by_id(getInstanceId()), "");
  kavstl::set<PllErrorType_t> flags;
  const ErrorData rc = readErrorFlags(flags);
  kavstl::vector<kavstl::string> names;
  for (PllErrorType_t flag : flags) names.push_back(asString(flag));
  text += HwEventReport::currentErrors(names);
  return rc;
}

void PllErrorMonitor::report(const kavstl::string& text) {
  // The oscillator status handler collects the event with the others of its
  // round (a warning); without one it is logged here.
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr)
    handler->notifyStatusChange({getSlotId(), text, OscillatorStatusHandler::WARNING});
  else
    HwEventReport::log(text, "PllError", KavPtr<const QueryBase>(this));
}

void PllErrorMonitor::handlePllError(const DioEvent&) {
  SoftDogInt dog(kHandlerLimitMs, "handlePllError");
  kavstl::string text;
  ErrorData rc;
  {
    IFOSGuard<const QueryBase> guard(*this);
    rc = describeEvent(text);
  }
  // Logged outside the guard: preparing the entry walks the tree.
  report(text);
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_pPllErrorIndicator == nullptr) {
      rc = kMissing;
    } else {
      rc = m_pPllErrorIndicator->resetIrqCondition();
      // The monitoring switched off meanwhile (a power step, the clock
      // domain) stays off.
      if (m_monitoring) {
        bool held = false;
        rc = m_rearm.rearmOrHold(kIndicator, m_pPllErrorIndicator, held);
        if (held) m_rearm.scheduleRearm();
      }
    }
  }
  KAV_TRACE(KAVT, "PllErrorMonitor::handlePllError slot=0x%08X held=%u rc=0x%08X", getSlotId(),
            isIndicatorHeld() ? 1u : 0u, rc.getRc());
  logFailure(rc, __LINE__);
}

void PllErrorMonitor::runRearm(QueryBase& self) { static_cast<PllErrorMonitor&>(self).rearmHeldIndicator(); }

void PllErrorMonitor::rearmHeldIndicator() {
  ErrorData rc;
  {
    IFOSGuard<const QueryBase> guard(*this);
    if (m_rearm.startRearm() == 0 || !m_monitoring) return;
    // The flags were reported with the event: clear them, so that a
    // condition that has gone releases the indicator. One that still holds
    // sets its flag again at once. A failure of the chip is its own to log.
    const ErrorData resetRc = resetAllErrors();
    if (resetRc != 0)
      KAV_TRACE(KAVE, "PllErrorMonitor::rearmHeldIndicator reset slot=0x%08X rc=0x%08X", getSlotId(),
                resetRc.getRc());
    bool held = false;
    rc = m_rearm.rearmOrHold(kIndicator, m_pPllErrorIndicator, held);
    if (held) m_rearm.scheduleRearm();
  }
  KAV_TRACE(KAVT, "PllErrorMonitor::rearmHeldIndicator slot=0x%08X held=%u rc=0x%08X", getSlotId(),
            isIndicatorHeld() ? 1u : 0u, rc.getRc());
  logFailure(rc, __LINE__);
}

void PllErrorMonitor::logFailure(const ErrorData& rc, unsigned int line) {
  const unsigned int code = rc.getRcWithoutLogFlag();
  if (code == 0 || code == kEngineDeleted || code == kEngineNotOpen || isDeleted()) return;
  ErrorData failed(rc);
  failed.microcodeLog("kav/PllErrorMonitor", line, "Error resetting interrupt condition.", 2, false);
}

BuildBase* createPllErrorMonitor(void*, BaseErrorData&) { return (new PllErrorMonitor())->getBuildInterface(); }
