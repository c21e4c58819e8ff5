#include "kav/hwaccess/dio/OutputControlHwrDioGroupSingleDevice.h"

#include <cstdio>

#include "kav/hwaccess/dio/DioHwdInterfaceLink.h"
#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/objects/HiddenChild.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrDioGroupSingleDevice, OutputControlHwrInterface)

namespace {
const unsigned int kNoDevice = 0x7360u;
const unsigned int kNoDeviceLink = 0x7361u;
const unsigned int kInvalidMode = 0x7160u;
const unsigned int kInvalidPolarity = 0x7161u;
const unsigned int kInvalidInitialState = 0x7162u;
const unsigned int kInvalidPin = 0x7170u;
const unsigned int kInvalidPolarityInUse = 0x7173u;
const unsigned int kMissingAttribute = 0x7145u;
}  // namespace

OutputControlHwrDioGroupSingleDevice::OutputControlHwrDioGroupSingleDevice()
    : m_mode(dioMode::DIO_MODE_NONE),
      m_polarity(dioPolarity::DIO_POLARITY_NONE),
      m_initialState(DISABLED),
      m_pinMask(0),
      m_initAtStart(true),
      m_errorLogged(false) {}

OutputControlHwrDioGroupSingleDevice::~OutputControlHwrDioGroupSingleDevice() {}

BaseErrorData OutputControlHwrDioGroupSingleDevice::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = OutputControlHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  kavstl::vector<unsigned int> pins;
  rc = getAttributeVector32(pins, kav::sid::DIO_PIN, *node, false);
  m_pins.clear();
  m_pinMask = 0;
  for (unsigned int pin : pins) {
    if (pin >= 32) {
      KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice pin %u out of range", pin);
      rc = kInvalidPin;
      continue;
    }
    m_pins.push_back(pin);
    m_pinMask |= 1u << pin;
  }
  unsigned int id = 0;
  rc = getAttributeStringId(&id, kav::sid::DIO_MODE, *node, false);
  // Output modes only: a group drives its pins.
  dioMode::DioMode_t mode = dioMode::DIO_MODE_NONE;
  if (dioMode::fromStringId(id, mode) && dioMode::isOutputMode(mode)) {
    m_mode = mode;
  } else {
    KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice invalid mode id %u", id);
    rc = kInvalidMode;
  }
  id = 0;
  rc = getAttributeStringId(&id, kav::sid::DIO_POLARITY, *node, false);
  if (!dioPolarity::fromStringId(id, m_polarity)) {
    KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice invalid polarity id %u", id);
    rc = kInvalidPolarity;
  }
  id = 0;
  rc = getAttributeStringId(&id, kav::sid::DIO_INITIAL_STATE, *node, false);
  if (id == kav::sid::OUTPUT_DISABLED) {
    m_initialState = DISABLED;
  } else if (id == kav::sid::OUTPUT_ENABLED) {
    m_initialState = ENABLED;
  } else {
    KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice invalid initial state id %u", id);
    rc = kInvalidInitialState;
  }
  bool initAtStart = true;
  BaseErrorData optional = getAttributeBool(&initAtStart, kav::sid::DIO_INIT_AT_START, *node, true);
  if (optional == 0)
    m_initAtStart = initAtStart;
  else if (optional != kMissingAttribute)
    rc = optional;
  return rc;
}

BaseErrorData OutputControlHwrDioGroupSingleDevice::init(initSequence::Id_t step) {
  BaseErrorData rc = OutputControlHwrInterface::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    unsigned int count = 0;
    KavPtr<DioHwdInterfaceLink> link = singleHiddenChild<DioHwdInterfaceLink>(*this, count);
    if (link == nullptr) {
      KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice no single device link count=%u", count);
      rc = kNoDeviceLink;
      return rc;
    }
    IFOSGuard<const QueryBase> guard(*this);
    m_dioHwdLink = link;
  } else if (step == initSequence::INIT_CONFIG_DIO) {
    ErrorData err;
    KavPtr<DioHwdInterface> hwd = device();
    if (hwd == nullptr)
      err = kNoDevice;
    else
      err = hwd->configure(m_pinMask, m_mode);
    checkAndLogError(err);
    rc = err;
  } else if (step == initSequence::INIT_DEACTIVATED_HW && m_initAtStart) {
    IFOSGuard<const QueryBase> guard(*this);
    rc = writeState(m_initialState);
  }
  return rc;
}

BaseErrorData OutputControlHwrDioGroupSingleDevice::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_dioHwdLink = nullptr;
  }
  return OutputControlHwrInterface::terminate(step);
}

KavPtr<DioHwdInterface> OutputControlHwrDioGroupSingleDevice::device() const {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_dioHwdLink == nullptr) return KavPtr<DioHwdInterface>();
  return m_dioHwdLink->getLinkTarget();
}

ErrorData OutputControlHwrDioGroupSingleDevice::enableOutput() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeState(ENABLED);
}

ErrorData OutputControlHwrDioGroupSingleDevice::disableOutput() {
  IFOSGuard<const QueryBase> guard(*this);
  return writeState(DISABLED);
}

ErrorData OutputControlHwrDioGroupSingleDevice::writeState(state_t state) {
  ErrorData err;
  unsigned int level = 0;
  if (m_polarity == dioPolarity::DIO_POLARITY_HIGH_ON) {
    level = state == ENABLED ? m_pinMask : 0u;
  } else if (m_polarity == dioPolarity::DIO_POLARITY_LOW_ON) {
    level = state == DISABLED ? m_pinMask : 0u;
  } else {
    KAV_TRACE(KAVE, "OutputControlHwrDioGroupSingleDevice invalid polarity %u", m_polarity);
    err = kInvalidPolarityInUse;
  }
  KavPtr<DioHwdInterface> hwd = device();
  if (hwd == nullptr) {
    KAV_TRACE(KAVT, "OutputControlHwrDioGroupSingleDevice state %u without device", static_cast<unsigned int>(state));
    return err;
  }
  err = hwd->writeLevel(m_pinMask, level);
  checkAndLogError(err);
  return err;
}

void OutputControlHwrDioGroupSingleDevice::checkAndLogError(ErrorData& err) {
  if (err == 0 || !err.isSrcDefined()) return;
  if (m_errorLogged) {
    err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
    return;
  }
  char text[40];
  std::snprintf(text, sizeof(text), "dio mask x%.8x", m_pinMask);
  err << text;
  err.addSlotId(getSlotId());
  m_errorLogged = true;
  err.logSynchron(kavstl::string(), kavstl::string(), KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
}

BuildBase* createOutputControlHwrDioGroupSingleDevice(void*, BaseErrorData&) {
  return (new OutputControlHwrDioGroupSingleDevice())->getBuildInterface();
}
