#include "kav/clockchips/Crc.h"

#include <cstdio>

#include "kav/clockchips/HwEventReport.h"
#include "kav/clock/osc/OscillatorStatusHandler.h"
#include "kav/events/DioEventSender.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(Crc, QueryBase)

namespace {

const unsigned int kMissing = 0x7000;
const unsigned int kNotLinked = 0x7002;
const unsigned int kEngineDeleted = 0x7017;
const unsigned int kEngineNotOpen = 0x7019;
const unsigned int kBadMode = 0x7254;
const unsigned int kNoMatchingRange = 0x7244;
const unsigned int kHandlerLimitMs = 1000;

// The set-up of each oscillator mode: the inputs enabled (bits 0..2 for
// inputs 1..3) and the input selected; modes 1..3 reset the error flags.
struct ModeSetup {
  unsigned int inputs;
  CrcHwdInterface::inputSelect_t input;
  bool resetErrors;
};
const ModeSetup kModes[5] = {
    {1, CrcHwdInterface::INPUT_1, false},  // 0: input 1
    {3, CrcHwdInterface::INPUT_1, true},   // 1: inputs 1 and 2
    {5, CrcHwdInterface::INPUT_3, true},   // 2: inputs 1 and 3
    {1, CrcHwdInterface::INPUT_1, true},   // 3: input 1
    {1, CrcHwdInterface::INPUT_1, false},  // 4: input 1
};

ErrorData failure(unsigned int rc) { return ErrorData(ErrorData::NO_OVERWRITE, rc); }

}  // namespace

Crc::Crc() : m_bandwidth{0, 0, 0, 0}, m_regIdCrcErr(-1), m_regIdCrcIrq(-1), m_rearm(*this, &Crc::runRearm) {}

Crc::~Crc() {}

BaseErrorData Crc::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  const unsigned int ids[4] = {kav::sid::CRC_BANDWIDTH_MODE_1, kav::sid::CRC_BANDWIDTH_MODE_2,
                               kav::sid::CRC_BANDWIDTH_MODE_3, kav::sid::CRC_BANDWIDTH_OTHER};
  for (int i = 0; i < 4; ++i) getAttributeUint32(&m_bandwidth[i], ids[i], *node, true);
  return rc;
}

BaseErrorData Crc::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  switch (step) {
    case initSequence::INIT_LINK_TREE_ELEMENTS:
      rc = linkChildren();
      break;
    case initSequence::INIT_REGISTER_EVENTS:
      rc = registerEvents();
      break;
    case initSequence::INIT_ENABLE_INTERRUPTS:
      rc = enableInterrupt();
      break;
    case initSequence::INIT_DISABLE_INTERRUPTS:
      rc = disableInterrupt();
      break;
    default:
      break;
  }
  return rc;
}

BaseErrorData Crc::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) {
    deregisterEvents();
    m_rearm.cancelRearm();
  }
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) releaseChildren();
  return QueryBase::terminate(step);
}

ErrorData Crc::linkChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  unsigned int count = 0;
  m_pCrcHwdLink = singleHiddenChild<CrcHwdInterfaceLink>(*this, count);
  if (m_pCrcHwdLink == nullptr) {
    KAV_TRACE(KAVE, "Crc::linkChildren no single chip link slot=0x%08X count=%u", getSlotId(), count);
    rc = kNotLinked;
  }
  const struct {
    KavPtr<DioHwrInterface>* member;
    unsigned int name;
  } signals[] = {{&m_pMasterReset, kav::sid::CRC_MASTER_RESET},
                 {&m_pCrcErr, kav::sid::CRC_ERROR_SIGNAL},
                 {&m_pCrcIrq, kav::sid::CRC_IRQ_SIGNAL}};
  for (const auto& s : signals) {
    *s.member = singleHiddenChild<DioHwrInterface>(*this, count, s.name);
    if (*s.member == nullptr) {
      KAV_TRACE_STR(KAVE, "Crc::linkChildren no signal %s slot=0x%08X", get_string_by_id(s.name), getSlotId());
      rc = kNotLinked;
    }
  }
  unsigned int converters = 0;
  m_pSpeedPatternConverter = KavPtr<SpeedPatternConverter>();
  for (const KavPtr<QueryBase>& child : getChildren())
    if (child != nullptr && child->isInstanceOf(SpeedPatternConverter::staticGetClassId())) {
      m_pSpeedPatternConverter = KavPtr<SpeedPatternConverter>(child);
      ++converters;
    }
  if (converters != 1) {
    KAV_TRACE(KAVE, "Crc::linkChildren no single converter slot=0x%08X count=%u", getSlotId(), converters);
    m_pSpeedPatternConverter = KavPtr<SpeedPatternConverter>();
    rc = kNotLinked;
  }
  m_elementMap.clear();
  unsigned int key = 0;
  for (const KavPtr<QueryBase>& child : getHiddenChildren())
    if (child != nullptr && child->isInstanceOf(OutputControlHwrInterface::staticGetClassId()))
      m_elementMap[key++] = KavPtr<OutputControlHwrInterface>(child);
  return rc;
}

void Crc::releaseChildren() {
  IFOSGuard<const QueryBase> guard(*this);
  m_pCrcHwdLink = KavPtr<CrcHwdInterfaceLink>();
  m_pMasterReset = KavPtr<DioHwrInterface>();
  m_pCrcErr = KavPtr<DioHwrInterface>();
  m_pCrcIrq = KavPtr<DioHwrInterface>();
  m_pSpeedPatternConverter = KavPtr<SpeedPatternConverter>();
  m_elementMap.clear();
}

KavPtr<CrcHwdInterface> Crc::getCrcHwd() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pCrcHwdLink == nullptr ? KavPtr<CrcHwdInterface>() : m_pCrcHwdLink->getLinkTarget();
}

KavPtr<SpeedPatternConverter> Crc::getSpeedPatternConverter() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pSpeedPatternConverter;
}

ErrorData Crc::getCurrentFrequencyRange(unsigned int input, PllSpeedPattern& pattern) {
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  KavPtr<SpeedPatternConverter> converter = getSpeedPatternConverter();
  if (chip == nullptr || converter == nullptr) return failure(kMissing);
  unsigned int divider = 0;
  ErrorData rc = chip->readDividerPattern(divider);
  if (rc == 0) rc = converter->initializePllSpeedPatternForPattern(input, divider, pattern);
  KAV_TRACE(KAVT, "Crc::getCurrentFrequencyRange slot=0x%08X input=%u divider=%u rc=0x%08X", getSlotId(), input,
            divider, rc.getRc());
  return rc;
}

ErrorData Crc::switchToBestMatchingRange(unsigned int, const PllSpeedPattern& pattern, unsigned int) {
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  KavPtr<SpeedPatternConverter> converter = getSpeedPatternConverter();
  if (chip == nullptr || converter == nullptr) return failure(kMissing);
  unsigned int frequency = 0;
  unsigned int cycleTime = 0;
  ErrorData rc = pattern.getOutputFrequencyInKhz(frequency);
  if (rc == 0) rc = pattern.getOutputCyletimeInPicoSeconds(cycleTime);
  if (rc != 0) return rc;
  PllSpeedPatternList candidates;
  rc = converter->getPossibleRangesForCycleTime(frequency, cycleTime, candidates);
  const PllSpeedPattern best = candidates.getForBestMatchingRange(pattern);
  // Nothing qualifies: the error is returned and the chip keeps its
  // divider (no range is better than the one it has).
  if (!best.isInit() && rc == 0) rc = failure(kNoMatchingRange);
  if (rc == 0) rc = chip->writeDividerPattern(best.getPllPattern());
  KAV_TRACE_STR(KAVT, "Crc::switchToBestMatchingRange %s slot=0x%08X rc=0x%08X", best.asString(), getSlotId(),
                rc.getRc());
  return rc;
}

BaseErrorData Crc::registerEvents() {
  IFOSGuard<const QueryBase> guard(*this);
  BaseErrorData rc;
  EventSource<DioEvent>* source = DioEventSender::getInstance()->getEventSource();
  if (m_regIdCrcErr < 0 && m_pCrcErr != nullptr)
    m_regIdCrcErr =
        registerForEvent<DioEvent, Crc>(source, &m_router, m_pCrcErr->getOnIrqId(), this, &Crc::handleCrcError, false);
  if (m_regIdCrcIrq < 0 && m_pCrcIrq != nullptr)
    m_regIdCrcIrq = registerForEvent<DioEvent, Crc>(source, &m_router, m_pCrcIrq->getOnIrqId(), this,
                                                    &Crc::handleCrcInterrupt, false);
  KAV_TRACE(KAVT, "Crc::registerEvents slot=0x%08X err=%d irq=%d", getSlotId(), static_cast<int>(m_regIdCrcErr),
            static_cast<int>(m_regIdCrcIrq));
  if (m_regIdCrcErr < 0 || m_regIdCrcIrq < 0) rc = kMissing;
  return rc;
}

void Crc::deregisterEvents() {
  long err;
  long irq;
  {
    IFOSGuard<const QueryBase> guard(*this);
    err = m_regIdCrcErr;
    irq = m_regIdCrcIrq;
    m_regIdCrcErr = -1;
    m_regIdCrcIrq = -1;
  }
  // Outside the guard: the router waits for a running handler, which takes it.
  if (err >= 0) m_router.deregisterFromEvent(err);
  if (irq >= 0) m_router.deregisterFromEvent(irq);
}

bool Crc::eventsRegistered() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_regIdCrcErr >= 0 && m_regIdCrcIrq >= 0;
}

ErrorData Crc::performPowerOnSetup() {
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  ErrorData rc;
  KavPtr<DioHwrInterface> reset;
  kavstl::map<unsigned int, KavPtr<OutputControlHwrInterface> > outputs;
  {
    IFOSGuard<const QueryBase> guard(*this);
    reset = m_pMasterReset;
    outputs = m_elementMap;
  }
  if (reset == nullptr) {
    rc = kMissing;
  } else {
    rc = reset->on();
    rc = reset->off();
  }
  if (chip == nullptr) {
    rc = kMissing;
  } else {
    rc = chip->enableInterrupt();
    rc = chip->enableSpreadingSupport();
    rc = chip->disableFrequencyCheck();
    rc = chip->writeFrequencyCheckValues(0, 0);
    rc = chip->selectInputClock(CrcHwdInterface::MODE_1, CrcHwdInterface::INPUT_1);
  }
  for (const auto& entry : outputs) {
    const KavPtr<OutputControlHwrInterface>& output = entry.second;
    const unsigned int name = output->getInstanceId();
    if (name == kav::sid::OUTPUT_ON_AT_POWER_ON) {
      rc = output->enableOutput();
    } else if (name == kav::sid::OUTPUT_OFF_AT_POWER_ON) {
      rc = output->disableOutput();
    } else {
      KAV_TRACE_STR(KAVE, "Crc::performPowerOnSetup unknown output control %s", get_string_by_id(name));
      rc = kNotLinked;
    }
  }
  KAV_TRACE(KAVT, "Crc::performPowerOnSetup slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

unsigned int Crc::bandwidthOf(kavosc::OscSetMode_t mode) const {
  IFOSGuard<const QueryBase> guard(*this);
  return mode >= 1 && mode <= 3 ? m_bandwidth[mode - 1] : m_bandwidth[3];
}

ErrorData Crc::writeMode(kavosc::OscSetMode_t mode) {
  if (mode >= 5) return failure(kBadMode);
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  if (chip == nullptr) return failure(kMissing);
  const ModeSetup& setup = kModes[mode];
  ErrorData rc;
  rc = chip->writeInputEnable(setup.inputs, 7);
  rc = chip->writeBandWidth(static_cast<CrcHwdInterface::bandwidth_t>(bandwidthOf(mode)));
  rc = chip->selectInputClock(CrcHwdInterface::MODE_1, setup.input);
  if (setup.resetErrors) rc = resetAllErrors();
  KAV_TRACE(KAVT, "Crc::writeMode slot=0x%08X mode=%u rc=0x%08X", getSlotId(), static_cast<unsigned int>(mode),
            rc.getRc());
  return rc;
}

ErrorData Crc::readStatus(kavosc::CrcStatus_t& status, bool flag) {
  status = kavosc::CrcStatus_t();
  status.flag = flag;
  status.reserved = 0;
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  if (chip == nullptr) return failure(kMissing);
  ErrorData rc;
  kavstl::set<CrcHwdInterface::CrcErrorType_t> flags;
  rc = chip->readErrorFlags(flags);
  status.error0Present = flags.count(CrcHwdInterface::CRC_ERROR_0) != 0;
  status.error4Present = flags.count(CrcHwdInterface::CRC_ERROR_4) != 0;
  unsigned int enabled = 0;
  rc = chip->readInputEnable(enabled);
  CrcHwdInterface::mode_t mode = CrcHwdInterface::MODE_1;
  CrcHwdInterface::inputSelect_t selected = CrcHwdInterface::INPUT_1;
  const ErrorData selectRc = chip->readSelectInputClock(mode, selected);
  rc = selectRc;
  for (unsigned int i = 0; i < 3; ++i) {
    kavosc::CrcInputStatus_t& input = status.inputs[i];
    input.firstErrorPresent = flags.count(static_cast<CrcHwdInterface::CrcErrorType_t>(1 + i)) != 0;
    input.secondErrorPresent = flags.count(static_cast<CrcHwdInterface::CrcErrorType_t>(5 + i)) != 0;
    input.disabled = (enabled & (1u << i)) == 0;
    input.selected = selectRc == 0 && static_cast<unsigned int>(selected) == i + 1;
  }
  unsigned int length = sizeof status.registers;
  rc = chip->getRegister(status.registers, length);
  char hex[3 * sizeof status.registers + 1] = {0};
  for (unsigned int i = 0; i < length && i < sizeof status.registers; ++i)
    std::snprintf(hex + 3 * i, 4, "%.2X ", status.registers[i]);
  KAV_TRACE_STR(KAVT, "Crc::readStatus %s slot=0x%08X rc=0x%08X", kavstl::string(hex), getSlotId(), rc.getRc());
  return rc;
}

KavPtr<DioHwrInterface> Crc::line(Line_t which) const {
  IFOSGuard<const QueryBase> guard(*this);
  return which == LINE_ERROR ? m_pCrcErr : m_pCrcIrq;
}

ErrorData Crc::enableInterrupt() { return switchInterrupts(true); }

ErrorData Crc::disableInterrupt() { return switchInterrupts(false); }

ErrorData Crc::switchInterrupts(bool enable) {
  m_rearm.cancelRearm();
  ErrorData rc;
  for (Line_t which : {LINE_ERROR, LINE_INTERRUPT}) {
    KavPtr<DioHwrInterface> alarm = line(which);
    if (alarm == nullptr) {
      rc = kMissing;
      continue;
    }
    // A line's own failure is only traced.
    const ErrorData lineRc = enable ? AlarmLineRearm::arm(alarm) : alarm->disableIrq();
    if (lineRc != 0)
      KAV_TRACE(KAVE, "Crc::switchInterrupts enable=%u line=0x%08X rc=0x%08X", enable ? 1u : 0u,
                alarm->getInstanceId(), lineRc.getRc());
  }
  return rc;
}

ErrorData Crc::resetAllErrors() {
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  if (chip == nullptr) return failure(kMissing);
  return chip->resetAllErrorFlags();
}

ErrorData Crc::enableSpreadingMode() {
  if (getCrcHwd() == nullptr) return failure(kMissing);
  KAV_TRACE(KAVT, "Crc::enableSpreadingMode slot=0x%08X", getSlotId());
  return ErrorData();
}

ErrorData Crc::disableSpreadingMode() {
  if (getCrcHwd() == nullptr) return failure(kMissing);
  KAV_TRACE(KAVT, "Crc::disableSpreadingMode slot=0x%08X", getSlotId());
  return ErrorData();
}

void Crc::handleCrcError(const DioEvent&) {
  handleAlarm(LINE_ERROR, "CrcError", "handleCrcError", "Error in Crc::handleCrcError()");
}

void Crc::handleCrcInterrupt(const DioEvent&) {
  handleAlarm(LINE_INTERRUPT, "CrcInterrupt", "handleCrcInterrupt", "Error in Crc::handleCrcInterrupt()");
}

void Crc::handleAlarm(Line_t which, const char* kind, const char* watchdogName, const char* failureText) {
  SoftDogInt dog(kHandlerLimitMs, watchdogName);
  ErrorData rc = reportEvent(kind);
  bool held = false;
  rc = m_rearm.rearmOrHold(which, line(which), held);
  if (held) m_rearm.scheduleRearm();
  const unsigned int code = rc.getRcWithoutLogFlag();
  if (code != 0 && code != kEngineDeleted && code != kEngineNotOpen)
    rc.microcodeLog("kav/Crc", __LINE__, failureText, 2, false);
}

unsigned int Crc::getHeldLines() const { return m_rearm.getHeldLines(); }

void Crc::runRearm(QueryBase& self) { static_cast<Crc&>(self).rearmHeldLines(); }

void Crc::rearmHeldLines() {
  const unsigned int held = m_rearm.startRearm();
  if (held == 0) return;
  // The flags were reported with the event: clear them, so that a condition
  // that has gone releases its line. One that still holds sets its flag
  // again at once.
  ErrorData rc = resetAllErrors();
  bool stillHeld = false;
  for (Line_t which : {LINE_ERROR, LINE_INTERRUPT}) {
    if ((held & (1u << which)) == 0) continue;
    bool lineHeld = false;
    rc = m_rearm.rearmOrHold(which, line(which), lineHeld);
    stillHeld = stillHeld || lineHeld;
  }
  KAV_TRACE(KAVT, "Crc::rearmHeldLines slot=0x%08X held=0x%X rc=0x%08X", getSlotId(), getHeldLines(), rc.getRc());
  if (stillHeld) m_rearm.scheduleRearm();
}

ErrorData Crc::reportEvent(const char* kind) {
  kavstl::string text = HwEventReport::headline(getSlotId(), "Crc", get_string_by_id(getInstanceId()), kind);
  // The chip's error flags at the time, as the record of what happened.
  KavPtr<CrcHwdInterface> chip = getCrcHwd();
  ErrorData rc;
  kavstl::vector<kavstl::string> names;
  if (chip == nullptr) {
    rc = kMissing;
  } else {
    kavstl::set<CrcHwdInterface::CrcErrorType_t> flags;
    rc = chip->readErrorFlags(flags);
    for (CrcHwdInterface::CrcErrorType_t flag : flags) names.push_back(std::to_string(static_cast<unsigned int>(flag)));
  }
  text += HwEventReport::currentErrors(names);
  // The oscillator status handler collects the event with the others of its
  // round; without one it is logged here.
  KavPtr<OscillatorStatusHandler> handler = OscillatorStatusHandler::getInstance();
  if (handler != nullptr) {
    handler->collectDebugInfo();
    handler->notifyStatusChange({getSlotId(), text, OscillatorStatusHandler::WARNING});
  } else {
    HwEventReport::log(text, kind, KavPtr<const QueryBase>(this));
  }
  return rc;
}

BuildBase* createCrc(void*, BaseErrorData&) { return (new Crc())->getBuildInterface(); }
