#include "kav/hwaccess/pld/IoMuxViaFsiHwa.h"

#include <vector>

#include "kav/hwaccess/edal/EdalInfo.h"
#include "kav/hwaccess/edal/edalIomux.h"
#include "kav/hwaccess/fsi/FsiEngineFrame.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(IoMuxViaFsiHwa, IoMuxHwaInterface)

namespace {
const unsigned int kInvalidArgument = 0x7012u;
const unsigned int kBeyondGroups = 0x7383u;
}  // namespace

IoMuxViaFsiHwa::IoMuxViaFsiHwa(const FsiEngineInfo& info)
    : m_engineInfo(info), m_pEdalHandle(nullptr), m_errorLogged(false) {
  setInstanceId(m_engineInfo.getEngineInstanceNameStringId());
}

IoMuxViaFsiHwa::~IoMuxViaFsiHwa() {
  if (m_pEdalHandle != nullptr) {
    std::string msg;
    edalIOmuxClose(m_pEdalHandle, msg);
  }
}

BaseErrorData IoMuxViaFsiHwa::init(initSequence::Id_t step) {
  BaseErrorData rc = IoMuxHwaInterface::init(step);
  if (step == initSequence::INIT_OPEN_ENGINES) rc = openEngine();
  return rc;
}

BaseErrorData IoMuxViaFsiHwa::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_CLOSE_ENGINES) rc = closeEngine();
  rc = IoMuxHwaInterface::terminate(step);
  return rc;
}

void IoMuxViaFsiHwa::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    FsiEngineFrame::dumpHead(os, "IoMuxViaFsiHwa", m_pEdalHandle, m_engineInfo);
    os << "</class>\n";
  }
  IoMuxHwaInterface::dumpXml(os);
}

bool IoMuxViaFsiHwa::isOpen() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pEdalHandle != nullptr;
}

ErrorData IoMuxViaFsiHwa::openEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pEdalHandle != nullptr) return err;
  std::string msg;
  const EdalInfo info(m_engineInfo.getPhysLinkNumber(), m_engineInfo.getPhysCascadeId(),
                      m_engineInfo.getPhysEngineNumber(), false);
  const unsigned int rc = edalIOmuxOpen(info, m_pEdalHandle, msg);
  if (rc != 0) {
    m_pEdalHandle = nullptr;
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::openEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  } else {
    KAV_TRACE_STR(KAVT, "IoMuxViaFsiHwa::openEngine %s", m_engineInfo.getStringPath());
  }
  return err;
}

ErrorData IoMuxViaFsiHwa::closeEngine() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  if (m_pEdalHandle == nullptr) return err;
  std::string msg;
  const unsigned int rc = edalIOmuxClose(m_pEdalHandle, msg);
  m_pEdalHandle = nullptr;
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::closeEngine %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData IoMuxViaFsiHwa::checkForEngineOpen() const {
  return FsiEngineFrame::checkOpen(*this, m_engineInfo, m_pEdalHandle, "IoMuxViaFsiHwa");
}

void IoMuxViaFsiHwa::handleError(ErrorData& err, unsigned long rc, std::string& msg) const {
  FsiEngineFrame::convertError(*this, m_engineInfo, err, rc, msg, "IoMux Error on FSI  rc=0x%.8lX", "FSI_IOMUX_ACCESS",
                               &m_errorLogged);
}

ErrorData IoMuxViaFsiHwa::readNumOfIoMuxGroups(unsigned int& n) const {
  IFOSGuard<const QueryBase> guard(*this);
  n = 0;
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  return readNumOfIoMuxGroupsLowLevel(n);
}

ErrorData IoMuxViaFsiHwa::readNumOfIoMuxGroupsLowLevel(unsigned int& n) const {
  ErrorData err;
  n = 0;
  std::string msg;
  const unsigned int rc = edalIOmuxQuerySize(m_pEdalHandle, n, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::readNumOfIoMuxGroups %s rc=0x%08X", m_engineInfo.getStringPath(), rc);
  }
  return err;
}

ErrorData IoMuxViaFsiHwa::checkTransfer(const char* what, unsigned int index, const void* infos,
                                        unsigned int count) const {
  ErrorData err = checkForEngineOpen();
  if (err != 0) return err;
  if (infos == nullptr && count != 0) {
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::%s no buffer for %u entries", std::string(what), count);
    err = kInvalidArgument;
    return err;
  }
  unsigned int groups = 0;
  err = readNumOfIoMuxGroupsLowLevel(groups);
  if (err != 0) return err;
  if (count > groups || index > groups - count) {
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa transfer beyond the groups %s index=%u count=%u groups=%u",
                  m_engineInfo.getStringPath(), index, count, groups);
    err = kBeyondGroups;
  }
  return err;
}

ErrorData IoMuxViaFsiHwa::write(unsigned int index, const IoMuxInfo* infos, unsigned int count) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkTransfer("write", index, infos, count);
  if (err != 0) return err;
  std::vector<edal_iomux_info> words(count == 0 ? 1 : count, 0);
  for (unsigned int i = 0; i < count; ++i) words[i] = infos[i].toEntryWord();
  std::string msg;
  const unsigned int rc = edalIOmuxWrite(m_pEdalHandle, index, words.data(), count, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::write %s index=%u count=%u rc=0x%08X", m_engineInfo.getStringPath(), index,
                  count, rc);
  } else {
    KAV_TRACE_STR(KAVT, "IoMuxViaFsiHwa::write %s index=%u count=%u", m_engineInfo.getStringPath(), index, count);
  }
  return err;
}

ErrorData IoMuxViaFsiHwa::read(unsigned int index, IoMuxInfo* infos, unsigned int& count) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err = checkTransfer("read", index, infos, count);
  if (err != 0) return err;
  std::vector<edal_iomux_info> words(count == 0 ? 1 : count, 0);
  std::string msg;
  const unsigned int requested = count;
  const unsigned int rc = edalIOmuxRead(m_pEdalHandle, index, words.data(), count, msg);
  if (rc != 0) {
    handleError(err, rc, msg);
    KAV_TRACE_STR(KAVE, "IoMuxViaFsiHwa::read %s index=%u count=%u rc=0x%08X", m_engineInfo.getStringPath(), index,
                  requested, rc);
    return err;
  }
  for (unsigned int i = 0; i < count && i < requested; ++i) infos[i].setFromEntryWord(words[i]);
  return err;
}
