#include "kav/tree/errors/BaseErrorData.h"

#include <cstdio>
#include <cstring>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/start/BsIdentity.h"
#include "kav/tree/errors/Logger.h"
#include "perc_abend.h"

namespace {

// Trace figures only; atomic because error values live in every thread.
std::atomic<unsigned int> g_containersAlive{0};
std::atomic<unsigned int> g_containersCreated{0};

const char kNoErrorData[] = "NO ERROR DATA available";
const char kSeparator[] = " | ";

unsigned int grownCapacity(unsigned int newLength) { return ((newLength * 2) / 100 + 1) * 100; }

}  // namespace

// ---------------------------------------------------------------------------
// Container

BaseErrorData::ErrorDataContainer::ErrorDataContainer()
    : m_rc(0),
      m_logState(LOG_STATE_NONE),
      m_src(0),
      m_logMode(0),
      m_fedcOptions(0),
      m_logClassType(0),
      m_logType(0),
      m_logUser(0),
      m_logStatus(0),
      m_errorBufferLen(0),
      m_errorBufferCapacity(0),
      m_pErrorBuffer(nullptr),
      m_primaryKey(0),
      m_secondaryKey(0),
      m_referenceCount(1) {
  const unsigned int alive = g_containersAlive.fetch_add(1, std::memory_order_relaxed) + 1;
  const unsigned int created = g_containersCreated.fetch_add(1, std::memory_order_relaxed) + 1;
  KAV_TRACE(KAVT, "ErrorData: new container %p alive=%u created=%u", this, alive, created);
}

BaseErrorData::ErrorDataContainer::ErrorDataContainer(const ErrorDataContainer& o)
    : m_rc(o.m_rc),
      m_logState(o.m_logState),
      m_src(o.m_src),
      m_srcExtension(o.m_srcExtension),
      m_slotIdOrder(o.m_slotIdOrder),
      m_eventName(o.m_eventName),
      m_fileNameList(o.m_fileNameList),
      m_logMode(o.m_logMode),
      m_fedcOptions(o.m_fedcOptions),
      m_logClassType(o.m_logClassType),
      m_logType(o.m_logType),
      m_logUser(o.m_logUser),
      m_logStatus(o.m_logStatus),
      m_errorBufferLen(o.m_errorBufferLen),
      m_errorBufferCapacity(o.m_errorBufferCapacity),
      m_pErrorBuffer(nullptr),
      m_primaryKey(o.m_primaryKey),
      m_secondaryKey(o.m_secondaryKey),
      m_slotIds(o.m_slotIds),
      m_referenceCount(1) {
  if (o.m_pErrorBuffer != nullptr) {
    m_pErrorBuffer = new char[m_errorBufferCapacity + 1];
    std::memcpy(m_pErrorBuffer, o.m_pErrorBuffer, m_errorBufferLen);
    m_pErrorBuffer[m_errorBufferLen] = '\0';
  }
  const unsigned int alive = g_containersAlive.fetch_add(1, std::memory_order_relaxed) + 1;
  const unsigned int created = g_containersCreated.fetch_add(1, std::memory_order_relaxed) + 1;
  KAV_TRACE(KAVT, "ErrorData: copied container %p to %p alive=%u created=%u", &o, this, alive, created);
}

BaseErrorData::ErrorDataContainer::~ErrorDataContainer() {
  delete[] m_pErrorBuffer;
  g_containersAlive.fetch_sub(1, std::memory_order_relaxed);
}

void BaseErrorData::ErrorDataContainer::reserve(unsigned int newLength) {
  if (m_pErrorBuffer != nullptr && newLength <= m_errorBufferCapacity) return;
  const unsigned int capacity = grownCapacity(newLength);
  char* buffer = new char[capacity + 1];
  if (m_errorBufferLen > 0) std::memcpy(buffer, m_pErrorBuffer, m_errorBufferLen);
  buffer[m_errorBufferLen] = '\0';
  delete[] m_pErrorBuffer;
  m_pErrorBuffer = buffer;
  m_errorBufferCapacity = capacity;
}

void BaseErrorData::ErrorDataContainer::appendText(const char* data, unsigned int len) {
  if (data == nullptr || len == 0) return;
  const unsigned int newLength = m_errorBufferLen + len;
  reserve(newLength);
  std::memcpy(m_pErrorBuffer + m_errorBufferLen, data, len);
  m_errorBufferLen = newLength;
  m_pErrorBuffer[m_errorBufferLen] = '\0';
}

void BaseErrorData::ErrorDataContainer::prependText(const char* head, unsigned int headLen, const char* middle,
                                                    unsigned int middleLen) {
  const unsigned int total = headLen + middleLen + m_errorBufferLen;
  if (m_pErrorBuffer != nullptr && total <= m_errorBufferCapacity) {
    std::memmove(m_pErrorBuffer + headLen + middleLen, m_pErrorBuffer, m_errorBufferLen);
  } else {
    const unsigned int capacity = grownCapacity(total);
    char* buffer = new char[capacity + 1];
    if (m_errorBufferLen > 0) std::memcpy(buffer + headLen + middleLen, m_pErrorBuffer, m_errorBufferLen);
    delete[] m_pErrorBuffer;
    m_pErrorBuffer = buffer;
    m_errorBufferCapacity = capacity;
  }
  if (headLen > 0) std::memcpy(m_pErrorBuffer, head, headLen);
  if (middleLen > 0) std::memcpy(m_pErrorBuffer + headLen, middle, middleLen);
  m_errorBufferLen = total;
  m_pErrorBuffer[m_errorBufferLen] = '\0';
}

// ---------------------------------------------------------------------------
// Value

BaseErrorData::BaseErrorData(OverwriteMode_t mode) : m_overwriteMode(mode), m_pErrorDataContainer(nullptr) {}

BaseErrorData::BaseErrorData(OverwriteMode_t mode, unsigned int rc)
    : m_overwriteMode(mode), m_pErrorDataContainer(nullptr) {
  if (rc != 0) {
    m_pErrorDataContainer = new ErrorDataContainer();
    m_pErrorDataContainer->m_rc = rc & ~LOG_FLAG;
  }
}

BaseErrorData::BaseErrorData(const BaseErrorData& other)
    : m_overwriteMode(other.m_overwriteMode), m_pErrorDataContainer(other.m_pErrorDataContainer) {
  if (m_pErrorDataContainer != nullptr) m_pErrorDataContainer->m_referenceCount.fetch_add(1, std::memory_order_relaxed);
}

BaseErrorData::~BaseErrorData() { release(); }

void BaseErrorData::release() {
  ErrorDataContainer* c = m_pErrorDataContainer;
  m_pErrorDataContainer = nullptr;
  if (c != nullptr && c->m_referenceCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete c;
}

BaseErrorData::ErrorDataContainer* BaseErrorData::writableContainer() {
  if (m_pErrorDataContainer == nullptr) {
    m_pErrorDataContainer = new ErrorDataContainer();
  } else if (m_pErrorDataContainer->m_referenceCount.load(std::memory_order_acquire) > 1) {
    ErrorDataContainer* copy = new ErrorDataContainer(*m_pErrorDataContainer);
    release();
    m_pErrorDataContainer = copy;
  }
  return m_pErrorDataContainer;
}

bool BaseErrorData::valueAssignmentAllowed(unsigned int newRc) const {
  const unsigned int current = getRcWithoutLogFlag();
  switch (m_overwriteMode) {
    case NO_OVERWRITE:
      if (current != 0) {
        if (newRc != 0) KAV_TRACE(KAVT, "ErrorData: rc=0x%08X stays, refused rc=0x%08X", current, newRc);
        return false;
      }
      return newRc != 0;
    case OVERWRITE:
      if (current != 0 && newRc != 0) KAV_TRACE(KAVT, "ErrorData: rc=0x%08X overwritten by rc=0x%08X", current, newRc);
      return true;
  }
  KAV_TRACE(KAVE, "ErrorData: invalid overwrite mode %u", static_cast<unsigned int>(m_overwriteMode));
  percAbend(0xF0D1, nullptr, 0, 0, 0, 0, nullptr, 11, 0);
}

BaseErrorData& BaseErrorData::operator=(unsigned int rc) {
  const unsigned int code = rc & ~LOG_FLAG;
  if (rc == 0 && m_pErrorDataContainer == nullptr) return *this;
  if (!valueAssignmentAllowed(code)) return *this;
  ErrorDataContainer* c = writableContainer();
  c->m_rc = code;
  c->m_logState = (rc & LOG_FLAG) != 0 ? LOG_STATE_LOGGED : LOG_STATE_UNLOGGED;
  if (code != 0) {
    char text[32];
    std::snprintf(text, sizeof text, " - KAV-rc=0x%.8X - ", code);
    *this << text;
  }
  return *this;
}

BaseErrorData& BaseErrorData::operator=(const BaseErrorData& other) {
  if (this == &other) return *this;
  if (valueAssignmentAllowed(other.getRcWithoutLogFlag())) copyErrorDataToErrorData(other);
  return *this;
}

void BaseErrorData::copyErrorDataToErrorData(const BaseErrorData& other) {
  if (m_pErrorDataContainer == other.m_pErrorDataContainer) return;
  ErrorDataContainer* c = other.m_pErrorDataContainer;
  if (c != nullptr) c->m_referenceCount.fetch_add(1, std::memory_order_relaxed);
  release();
  m_pErrorDataContainer = c;
}

void BaseErrorData::overwrite(unsigned int rc) {
  if (rc == 0 && m_pErrorDataContainer == nullptr) return;
  writableContainer()->m_rc = rc;
}

unsigned int BaseErrorData::getRc() const {
  const ErrorDataContainer* c = m_pErrorDataContainer;
  if (c == nullptr) return 0;
  return c->m_logState == LOG_STATE_LOGGED ? (c->m_rc | LOG_FLAG) : c->m_rc;
}

unsigned int BaseErrorData::getRcWithoutLogFlag() const {
  return m_pErrorDataContainer == nullptr ? 0 : (m_pErrorDataContainer->m_rc & ~LOG_FLAG);
}

kavstl::string BaseErrorData::getRcAsString() const {
  char text[16];
  std::snprintf(text, sizeof text, "0x%.8X", getRcWithoutLogFlag());
  return kavstl::string(text);
}

// ---------------------------------------------------------------------------
// Text

BaseErrorData& BaseErrorData::operator<<(const char* text) {
  ErrorDataContainer* c = writableContainer();
  if (text != nullptr) c->appendText(text, static_cast<unsigned int>(std::strlen(text)));
  c->appendText(kSeparator, sizeof kSeparator - 1);
  return *this;
}

BaseErrorData& BaseErrorData::operator<<(const kavstl::string& text) {
  ErrorDataContainer* c = writableContainer();
  c->appendText(text.data(), static_cast<unsigned int>(text.size()));
  c->appendText(kSeparator, sizeof kSeparator - 1);
  return *this;
}

BaseErrorData& BaseErrorData::operator<<(const std::ostringstream& text) { return *this << kavstl::string(text.str()); }

void BaseErrorData::addDataToErrorBuffer(const char* data, unsigned int len) {
  ErrorDataContainer* c = writableContainer();
  c->appendText(data, len);
}

void BaseErrorData::addDataToErrorBuffer(const kavstl::string& text) {
  addDataToErrorBuffer(text.data(), static_cast<unsigned int>(text.size()));
}

void BaseErrorData::addDataToErrorBuffer(const std::ostringstream& text) {
  const std::string s = text.str();
  addDataToErrorBuffer(s.data(), static_cast<unsigned int>(s.size()));
}

const char* BaseErrorData::getErrorBuffer() const {
  const ErrorDataContainer* c = m_pErrorDataContainer;
  if (c == nullptr || c->m_pErrorBuffer == nullptr) return kNoErrorData;
  return c->m_pErrorBuffer;
}

unsigned int BaseErrorData::getErrorBufferLen() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_errorBufferLen;
}

unsigned int BaseErrorData::getErrorBufferCapacity() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_errorBufferCapacity;
}

// ---------------------------------------------------------------------------
// Log data

void BaseErrorData::setLogState(LogState_t state) { writableContainer()->m_logState = state; }
BaseErrorData::LogState_t BaseErrorData::getLogState() const {
  return m_pErrorDataContainer == nullptr ? LOG_STATE_NONE : m_pErrorDataContainer->m_logState;
}

void BaseErrorData::setSrc(unsigned int src) { writableContainer()->m_src = src; }
unsigned int BaseErrorData::getSrc() const { return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_src; }

bool BaseErrorData::isSrcDefined() const {
  const ErrorDataContainer* c = m_pErrorDataContainer;
  return c != nullptr && (c->m_src != 0 || c->m_srcExtension.getMicrocode() != 0);
}

void BaseErrorData::setLogMode(LogMode_t mode) { writableContainer()->m_logMode = mode; }
BaseErrorData::LogMode_t BaseErrorData::getLogMode() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_logMode;
}

void BaseErrorData::setFedcOptions(unsigned int options) { writableContainer()->m_fedcOptions = options; }
unsigned int BaseErrorData::getFedcOptions() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_fedcOptions;
}

void BaseErrorData::setLogClassType(unsigned char type) { writableContainer()->m_logClassType = type; }
unsigned char BaseErrorData::getLogClassType() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_logClassType;
}

void BaseErrorData::setLogType(unsigned char type) { writableContainer()->m_logType = type; }
unsigned char BaseErrorData::getLogType() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_logType;
}

void BaseErrorData::setLogUser(unsigned short user) { writableContainer()->m_logUser = user; }
unsigned short BaseErrorData::getLogUser() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_logUser;
}

void BaseErrorData::setLogStatus(unsigned short status) { writableContainer()->m_logStatus = status; }
unsigned short BaseErrorData::getLogStatus() const {
  return m_pErrorDataContainer == nullptr ? 0 : m_pErrorDataContainer->m_logStatus;
}

void BaseErrorData::setEventName(const kavstl::string& name) { writableContainer()->m_eventName = name; }
void BaseErrorData::setEventName(const char* name) { writableContainer()->m_eventName = name != nullptr ? name : ""; }
kavstl::string BaseErrorData::getEventName() const {
  return m_pErrorDataContainer == nullptr ? kavstl::string() : m_pErrorDataContainer->m_eventName;
}

unsigned int BaseErrorData::setTrailer(unsigned char trailer) {
  return writableContainer()->m_srcExtension.setTrailer(trailer);
}

unsigned int BaseErrorData::setSrcExtension(unsigned int id1, unsigned int id2, unsigned int id3) {
  ErrorDataSrcExtension& ext = writableContainer()->m_srcExtension;
  if (ext.getSlotId1() == 0) ext.setSlotId1(id1);
  if (ext.getSlotId2() == 0) ext.setSlotId2(id2);
  if (ext.getSlotId3() == 0) ext.setSlotId3(id3);
  return 0;
}

void BaseErrorData::overwriteSrcExtension(unsigned int id1, unsigned int id2, unsigned int id3) {
  ErrorDataSrcExtension& ext = writableContainer()->m_srcExtension;
  ext.overwriteSlotId1(id1);
  ext.overwriteSlotId2(id2);
  ext.overwriteSlotId3(id3);
}

ErrorDataSrcExtension BaseErrorData::getSrcExtension() const {
  return m_pErrorDataContainer == nullptr ? ErrorDataSrcExtension() : m_pErrorDataContainer->m_srcExtension;
}

void BaseErrorData::setSlotIdOrder(unsigned char first, unsigned char second, unsigned char third) {
  kavstl::vector<unsigned char>& order = writableContainer()->m_slotIdOrder;
  order.push_back(first);
  order.push_back(second);
  order.push_back(third);
}

void BaseErrorData::setSlotIdOrder(const kavstl::vector<unsigned char>& order) {
  kavstl::vector<unsigned char>& own = writableContainer()->m_slotIdOrder;
  own.insert(own.end(), order.begin(), order.end());
}

kavstl::vector<unsigned char> BaseErrorData::getSlotIdOrder() const {
  return m_pErrorDataContainer == nullptr ? kavstl::vector<unsigned char>() : m_pErrorDataContainer->m_slotIdOrder;
}

void BaseErrorData::clearSlotIdOrder() {
  if (m_pErrorDataContainer == nullptr) return;
  writableContainer()->m_slotIdOrder.clear();
}

void BaseErrorData::addSlotId(unsigned int slotId) {
  kavstl::vector<unsigned int>& ids = writableContainer()->m_slotIds;
  if (!ids.empty() && ids.back() == slotId) return;
  ids.push_back(slotId);
}

kavstl::vector<unsigned int> BaseErrorData::getSlotIds() const {
  return m_pErrorDataContainer == nullptr ? kavstl::vector<unsigned int>() : m_pErrorDataContainer->m_slotIds;
}

void BaseErrorData::clearSlotIds() {
  if (m_pErrorDataContainer == nullptr) return;
  writableContainer()->m_slotIds.clear();
}

void BaseErrorData::setKeys(unsigned int primaryKey, unsigned int secondaryKey) {
  ErrorDataContainer* c = writableContainer();
  if ((c->m_primaryKey != 0 || c->m_secondaryKey != 0) &&
      (c->m_primaryKey != primaryKey || c->m_secondaryKey != secondaryKey)) {
    KAV_TRACE(KAVT, "ErrorData: keys changed from %u,%u to %u,%u", c->m_primaryKey, c->m_secondaryKey, primaryKey,
              secondaryKey);
  }
  c->m_primaryKey = primaryKey;
  c->m_secondaryKey = secondaryKey;
}

void BaseErrorData::getKeys(unsigned int& primaryKey, unsigned int& secondaryKey) const {
  const ErrorDataContainer* c = m_pErrorDataContainer;
  primaryKey = c == nullptr ? 0 : c->m_primaryKey;
  secondaryKey = c == nullptr ? 0 : c->m_secondaryKey;
}

void BaseErrorData::addFileNameToList(const kavstl::string&) {}

kavstl::string BaseErrorData::getFileNameList() const {
  return m_pErrorDataContainer == nullptr ? kavstl::string() : m_pErrorDataContainer->m_fileNameList;
}

void BaseErrorData::dump() const {}

// ---------------------------------------------------------------------------
// Internal errors

void BaseErrorData::microcodeLog(const char* file, unsigned int line, const char* text, LogMode_t mode,
                                 bool asynchronous) {
  char header[512];
  int n = std::snprintf(header, sizeof header, "Microcode Error! rc=0x%.8X occured in File='%s' at Line=%d \n",
                        getRcWithoutLogFlag(), file != nullptr ? file : "", static_cast<int>(line));
  if (n < 0) n = 0;
  if (static_cast<size_t>(n) >= sizeof header) n = sizeof header - 1;
  const unsigned int textLen = text != nullptr ? static_cast<unsigned int>(std::strlen(text)) : 0;

  ErrorDataContainer* c = writableContainer();
  c->prependText(header, static_cast<unsigned int>(n), text, textLen);
  c->m_src = 0x28C0F0D1;
  c->m_slotIdOrder.clear();
  c->m_eventName = "KavFirmware";
  c->m_logMode = mode;
  c->m_fedcOptions = 1;
  c->m_logClassType = 9;
  c->m_logType = 9;
  c->m_logUser = 17;
  c->m_logStatus = 0;
  c->m_srcExtension.setTrailerMicrocode(bs_get_own_pih(), c->m_rc);
  KAV_TRACE_STR(KAVE, "microcodeLog %s line=%u rc=0x%08X", file != nullptr ? file : "", line, c->m_rc);

  Logger logger;
  if (asynchronous)
    logger.logAsynchron(*this);
  else
    logger.logSynchron(*this);
}

unsigned int BaseErrorData::getContainersAlive() { return g_containersAlive.load(std::memory_order_relaxed); }
unsigned int BaseErrorData::getContainersCreated() { return g_containersCreated.load(std::memory_order_relaxed); }
