#include "kav/hwaccess/fsi/FsiEngineFrame.h"

#include <cstdio>

#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringToId.h"

namespace {
const unsigned int kDeleted = 0x7017u;
const unsigned int kNotOpen = 0x7019u;
}  // namespace

ErrorData FsiEngineFrame::checkOpen(const QueryBase& engine, const FsiEngineInfo& info, const void* handle,
                                    const char* className) {
  ErrorData err;
  if (handle != nullptr) return err;
  err = engine.isDeleted() ? kDeleted : kNotOpen;
  // One record holds one string: the class and the engine's path together.
  KAV_TRACE_STR(KAVE, "%s engine not open rc=0x%08X", std::string(className) + " " + info.getStringPath(),
                err.getRc());
  return err;
}

void FsiEngineFrame::convertError(const QueryBase& engine, const FsiEngineInfo& info, ErrorData& err,
                                  unsigned long rc, std::string& msg, const char* textFormat, const char* primaryKey,
                                  bool* loggedFlag) {
  err = static_cast<unsigned int>(rc);
  char text[96];
  std::snprintf(text, sizeof text, textFormat, rc);
  const std::string path = info.getStringPath();
  setFsiHwaErrorData(err, text, primaryKey, "", engine.getSlotId(), path.c_str(), msg);
  if (loggedFlag == nullptr || engine.isDeleted()) return;
  if (*loggedFlag) {
    err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
    return;
  }
  *loggedFlag = true;
  KAV_TRACE_STR(KAVE, "%s logs error rc=0x%08X", get_string_by_id(engine.getClassId()) + " " + path,
                static_cast<unsigned int>(rc));
  err.logSynchron(kavstl::string(), kavstl::string(), KavPtr<const QueryBase>(&engine),
                  KavPtr<const QueryBase>(&engine));
}

void FsiEngineFrame::dumpHead(std::ostream& os, const char* className, const void* handle,
                              const FsiEngineInfo& info) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%p", handle);
  os << "<class className=\"" << className << "\">\n";
  os << "<parameter name=\"m_pEdalHandle\" value=\"" << buf << "\"/>\n";
  os << "<parameter name=\"physicalLinkNumber\" value=\"" << info.getPhysLinkNumber() << "\"/>\n";
  os << "<parameter name=\"physicalCascadeId\" value=\"" << info.getPhysCascadeId() << "\"/>\n";
  os << "<parameter name=\"physicalEngineNumber\" value=\"" << info.getPhysEngineNumber() << "\"/>\n";
}
