#include "kav/hwaccess/scratchpad/ScratchpadViaFsiHwa.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <ostream>

#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalScpd.h"
#include "kav/hwaccess/fsi/FsiEngineFrame.h"
#include "kav/runtime/ColdStart.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "perc_abend.h"

KAV_TREE_CLASS_IMPL(ScratchpadViaFsiHwa, ScratchpadHwaInterface)

namespace {
const unsigned int kBeyondSize = 0x7180u;
}  // namespace

ScratchpadViaFsiHwa::ScratchpadViaFsiHwa(const FsiEngineInfo& info)
    : m_engineInfo(info),
      m_pEdalHandle(nullptr),
      m_scratchpadSize(0),
      m_cacheValid(false),
      m_pCache(nullptr),
      m_errorLogged(false),
      m_cacheFilled(false) {
  setInstanceId(m_engineInfo.getEngineInstanceNameStringId());
}

ScratchpadViaFsiHwa::~ScratchpadViaFsiHwa() {
  if (m_pEdalHandle != nullptr) {
    std::string msg;
    edalScratchpadClose(m_pEdalHandle, msg);
  }
  delete[] m_pCache;
}

BaseErrorData ScratchpadViaFsiHwa::init(initSequence::Id_t step) {
  BaseErrorData rc = ScratchpadHwaInterface::init(step);
  if (step == initSequence::INIT_OPEN_ENGINES) rc = openEngine();
  return rc;
}

BaseErrorData ScratchpadViaFsiHwa::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_CLOSE_ENGINES) rc = closeEngine();
  rc = ScratchpadHwaInterface::terminate(step);
  return rc;
}

void ScratchpadViaFsiHwa::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    FsiEngineFrame::dumpHead(os, "ScratchpadViaFsiHwa", m_pEdalHandle, m_engineInfo);
    char buf[4];
    os << "<parameter name=\"m_scratchpadSize\" value=\"" << m_scratchpadSize << "\"/>\n";
    os << "<parameter name=\"m_cacheValid\" value=\"" << (m_cacheValid ? "true" : "false") << "\"/>\n";
    os << "<parameter name=\"m_pCache\" value=\"";
    for (unsigned int i = 0; m_pCache != nullptr && i < m_scratchpadSize; ++i) {
      std::snprintf(buf, sizeof buf, "%.2X", m_pCache[i]);
      os << buf;
    }
    os << "\"/>\n</class>\n";
  }
  ScratchpadHwaInterface::dumpXml(os);
}

bool ScratchpadViaFsiHwa::isOpen() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pEdalHandle != nullptr;
}

bool ScratchpadViaFsiHwa::isCacheValid() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_cacheValid;
}

unsigned int ScratchpadViaFsiHwa::getScratchpadSize() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_scratchpadSize;
}

ErrorData ScratchpadViaFsiHwa::openEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  const std::string path = m_engineInfo.getStringPath();
  if (m_pEdalHandle != nullptr) {
    KAV_TRACE_STR(KAVT, "ScratchpadViaFsiHwa::openEngine %s already open", path);
    return err;
  }
  std::string msg;
  const EdalInfo info(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                      m_engineInfo.getPhysEngineNumber(), false);
  const unsigned int rc = edalScratchpadOpen(info, m_pEdalHandle, msg);
  if (rc != 0) {
    m_pEdalHandle = nullptr;
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::openEngine %s rc=0x%08X", path, rc);
    return err;
  }
  unsigned int size = 0;
  err = readSizeLowLevel(size);
  if (err != 0) return err;
  if (m_pCache == nullptr || size != m_scratchpadSize) {
    delete[] m_pCache;
    m_pCache = new (std::nothrow) unsigned char[size == 0 ? 1 : size];
    if (m_pCache == nullptr) percAbend(0xF0D1, nullptr, 0, 0, 0, 0, "ScratchpadViaFsiHwa: no memory for the cache", 11, 0);
  }
  m_scratchpadSize = size;
  std::memset(m_pCache, 0, size == 0 ? 1 : size);
  m_cacheValid = false;
  m_cacheFilled = false;
  err = fillCache();
  KAV_TRACE_STR(KAVT, "ScratchpadViaFsiHwa::openEngine %s size=%u valid=%u", path, m_scratchpadSize,
                m_cacheValid ? 1u : 0u);
  return err;
}

ErrorData ScratchpadViaFsiHwa::fillCache() const {
  bool coldStart = false;
  ErrorData err = readColdstartIndicator(coldStart);
  if (err != 0) return err;
  if (!coldStart) {
    err = readLowLevel(0, m_pCache, m_scratchpadSize);
    if (err == 0) {
      m_cacheValid = true;
      m_cacheFilled = true;
    }
    return err;
  }
  // The zeroed cache is what the memory must hold from now on, also when
  // writing it over the memory fails.
  std::memset(m_pCache, 0, m_scratchpadSize);
  m_cacheFilled = true;
  err = writeLowLevel(0, m_pCache, m_scratchpadSize);
  if (err == 0) {
    m_cacheValid = true;
    err = resetColdstartIndicator();
  }
  KAV_TRACE_STR(KAVT, "ScratchpadViaFsiHwa %s cold start: memory zeroed rc=0x%08X", m_engineInfo.getStringPath(),
                err.getRc());
  return err;
}

ErrorData ScratchpadViaFsiHwa::closeEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pEdalHandle == nullptr) return err;
  std::string msg;
  const unsigned int rc = edalScratchpadClose(m_pEdalHandle, msg);
  m_pEdalHandle = nullptr;
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::closeEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData ScratchpadViaFsiHwa::checkForEngineOpen() const {
  return FsiEngineFrame::checkOpen(*this, m_engineInfo, m_pEdalHandle, "ScratchpadViaFsiHwa");
}

void ScratchpadViaFsiHwa::handleError(ErrorData& err, unsigned long rc, std::string& msg) const {
  FsiEngineFrame::convertError(*this, m_engineInfo, err, rc, msg, "ScratchPad Error on FSI  rc=0x%.8lX",
                               "FSI_SCRATCHPAD_ACCESS", &m_errorLogged);
}

bool ScratchpadViaFsiHwa::fits(unsigned int offset, unsigned int len) const {
  return len <= m_scratchpadSize && offset <= m_scratchpadSize - len;
}

void ScratchpadViaFsiHwa::traceBytes(const char* what, unsigned int offset, const unsigned char* data,
                                     unsigned int len) const {
  // A trace record takes one string: the operation and the bytes go in it
  // together, the offset and length as values.
  char text[1024];
  int head = std::snprintf(text, sizeof(text), "%s", what);
  unsigned int used = head < 0 ? 0u : std::min(static_cast<unsigned int>(head), 64u);
  text[used] = '\0';
  for (unsigned int i = 0; i < len && used + 4 <= sizeof(text); ++i) {
    std::snprintf(text + used, sizeof(text) - used, " %.2X", data[i]);
    used += 3;
  }
  KAV_TRACE_STR(KAVT, "ScratchpadViaFsiHwa::%s offset=%u len=%u", text, offset, len);
}

ErrorData ScratchpadViaFsiHwa::read(unsigned int offset, unsigned char* data, unsigned int len) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (!fits(offset, len) || m_pCache == nullptr) {
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::read %s offset=%u len=%u size=%u", m_engineInfo.getStringPath(), offset,
                  len, m_scratchpadSize);
    err = kBeyondSize;
    return err;
  }
  if (!m_cacheValid) {
    err = checkForEngineOpen();
    if (err == 0 && !m_cacheFilled) err = fillCache();
    if (err != 0) {
      KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::read %s cache not valid rc=0x%08X", m_engineInfo.getStringPath(),
                    err.getRc());
      return err;
    }
  }
  if (data == nullptr) {
    err = 0x7000u;
    return err;
  }
  std::memcpy(data, m_pCache + offset, len);
  traceBytes("read", offset, data, len);
  return err;
}

ErrorData ScratchpadViaFsiHwa::write(unsigned int offset, const unsigned char* data, unsigned int len) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (!fits(offset, len) || m_pCache == nullptr) {
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::write %s offset=%u len=%u size=%u", m_engineInfo.getStringPath(),
                  offset, len, m_scratchpadSize);
    err = kBeyondSize;
    return err;
  }
  if (data == nullptr) {
    err = 0x7000u;
    return err;
  }
  if (!m_cacheFilled) {
    // The cache never held the memory's contents: marking it valid after
    // this write would serve stale zeros for every other byte.
    err = checkForEngineOpen();
    if (err == 0) err = fillCache();
    if (err != 0) return err;
  }
  traceBytes("write", offset, data, len);
  m_cacheValid = false;
  std::memcpy(m_pCache + offset, data, len);
  err = writeLowLevel(offset, data, len);
  if (err == 0) m_cacheValid = true;
  return err;
}

ErrorData ScratchpadViaFsiHwa::readSize(unsigned int& size) const {
  IFOSGuard<const QueryBase> guard(*this);
  return readSizeLowLevel(size);
}

ErrorData ScratchpadViaFsiHwa::readColdstartIndicator(bool& coldStart) const {
  IFOSGuard<const QueryBase> guard(*this);
  coldStart = false;
  ErrorData err;
  if (!g_coldStart.load()) return err;
  err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  bool deviceCold = false;
  const unsigned int rc = edalScratchpadReadColdstartState(m_pEdalHandle, deviceCold, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::readColdstartIndicator %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
    return err;
  }
  coldStart = deviceCold;
  return err;
}

ErrorData ScratchpadViaFsiHwa::resetColdstartIndicator() const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  const unsigned int rc = edalScratchpadResetColdstartState(m_pEdalHandle, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::resetColdstartIndicator %s rc=0x%08X", m_engineInfo.getStringPath(),
                  rc);
  }
  return err;
}

ErrorData ScratchpadViaFsiHwa::readSizeLowLevel(unsigned int& size) const {
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  const unsigned int rc = edalScratchpadGetSize(m_pEdalHandle, size, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::readSize %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData ScratchpadViaFsiHwa::readLowLevel(unsigned int offset, unsigned char* data, unsigned int len) const {
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  unsigned int got = len;
  unsigned int rc = edalScratchpadRead(m_pEdalHandle, offset, data, got, msg);
  if (rc == 0 && got != len) rc = 0x7180u;  // short read: the memory is smaller than it said
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::readLowLevel %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData ScratchpadViaFsiHwa::writeLowLevel(unsigned int offset, const unsigned char* data, unsigned int len) const {
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  std::string msg;
  const unsigned int rc = edalScratchpadWrite(m_pEdalHandle, offset, data, len, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "ScratchpadViaFsiHwa::writeLowLevel %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}
