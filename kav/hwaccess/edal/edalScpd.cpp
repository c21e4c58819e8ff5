#include "kav/hwaccess/edal/edalScpd.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "kav/hwaccess/edal/EdalScpdHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_scratchpad.h"

using edalFfdc::join;
using edalFfdc::lastErrno;

namespace {

const int kOpenFlags = 0x101002;  // O_RDWR | O_SYNC

EdalScpdHandle* toScpd(EdalHandle* h, const char* function, unsigned int& code, std::string& msg) {
  EdalScpdHandle* scp = dynamic_cast<EdalScpdHandle*>(h);
  if (scp == nullptr || scp->getRavo() == nullptr) {
    KAV_TRACE_STR(KAVE, "%s: no open scratchpad handle %p", function, h);
    msg = join(msg, std::string(function) + ": no open scratchpad handle");
    code = EBADF;
    return nullptr;
  }
  return scp;
}

unsigned int failedWith(const EdalScpdHandle* h, unsigned int err, const std::string& text, std::string& msg) {
  KAV_TRACE_STR(KAVE, "%s errno=%u", h->getDeviceNm(), err);
  msg = join(msg, text + " (device " + h->getDeviceNm() + ", errno=" + std::to_string(err) + ")");
  edalFfdc::collectScratchpad(h->getRavo(), msg);
  return err;
}

unsigned int failed(const EdalScpdHandle* h, const std::string& text, std::string& msg) {
  return failedWith(h, lastErrno(), text, msg);
}

unsigned int seek(const EdalScpdHandle* h, unsigned int offset, std::string& msg) {
  if (ravo_scp_seek(h->getRavo(), static_cast<int64_t>(offset), SEEK_SET) == -1)
    return failed(h, "error reading scpd", msg);
  return edal::EDAL_OK;
}

}  // namespace

unsigned int edalScratchpadOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg) {
  h = nullptr;
  EdalScpdHandle* scp = new (std::nothrow) EdalScpdHandle();
  if (scp == nullptr) {
    msg = join(msg, "edalScratchpadOpen: new edal handle failed");
    return ENOMEM;
  }
  scp->buildDeviceName(FSIDEV_SCP, info, EdalInfo::ABSENT);
  ravo_struct* ravo = ravo_scp_open(scp->getDeviceName(), kOpenFlags);
  if (ravo == nullptr) {
    unsigned int err = lastErrno();
    KAV_TRACE_STR(KAVE, "edalScratchpadOpen %s errno=%u", scp->getDeviceNm(), err);
    msg = join(msg, "error");
    delete scp;
    return err;
  }
  scp->setRavo(ravo);
  h = scp;
  KAV_TRACE_STR(KAVT, "edalScratchpadOpen %s ravo=%p", scp->getDeviceNm(), ravo);
  return edal::EDAL_OK;
}

unsigned int edalScratchpadClose(EdalHandle*& h, std::string& msg) {
  EdalScpdHandle* scp = dynamic_cast<EdalScpdHandle*>(h);
  if (scp == nullptr) {
    msg = join(msg, "edalScratchpadClose: no scratchpad handle");
    return EBADF;
  }
  unsigned int rc = edal::EDAL_OK;
  if (scp->getRavo() != nullptr && ravo_scp_close(scp->getRavo()) == -1) {
    rc = lastErrno();
    KAV_TRACE_STR(KAVE, "edalScratchpadClose %s errno=%u", scp->getDeviceNm(), rc);
    msg = join(msg, "error");
  }
  delete scp;
  h = nullptr;
  return rc;
}

unsigned int edalScratchpadWrite(EdalHandle* h, unsigned int offset, const unsigned char* data, unsigned int len,
                                 std::string& msg) {
  unsigned int code = 0;
  EdalScpdHandle* scp = toScpd(h, "edalScratchpadWrite", code, msg);
  if (scp == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalScratchpadWrite %s offset=%u len=%u", scp->getDeviceNm(), offset, len);
  unsigned int rc = seek(scp, offset, msg);
  if (rc != edal::EDAL_OK) return rc;
  ssize_t n = ravo_scp_write(scp->getRavo(), data, len);
  if (n == -1) return failed(scp, "error ravo_scp_write", msg);
  // A short write left part of the data unwritten.
  if (static_cast<size_t>(n) != len) return failedWith(scp, EIO, "error ravo_scp_write", msg);
  return edal::EDAL_OK;
}

unsigned int edalScratchpadRead(EdalHandle* h, unsigned int offset, unsigned char* data, unsigned int& len,
                                std::string& msg) {
  unsigned int code = 0;
  EdalScpdHandle* scp = toScpd(h, "edalScratchpadRead", code, msg);
  if (scp == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalScratchpadRead %s offset=%u len=%u", scp->getDeviceNm(), offset, len);
  unsigned int rc = seek(scp, offset, msg);
  if (rc != edal::EDAL_OK) return rc;
  ssize_t n = ravo_scp_read(scp->getRavo(), data, len);
  if (n == -1) return failed(scp, "error ravo_scp_read", msg);
  if (n >= 0 && static_cast<size_t>(n) <= len) len = static_cast<unsigned int>(n);
  return edal::EDAL_OK;
}

unsigned int edalScratchpadReadColdstartState(EdalHandle* h, bool& state, std::string& msg) {
  unsigned int code = 0;
  EdalScpdHandle* scp = toScpd(h, "edalScratchpadReadColdstartState", code, msg);
  if (scp == nullptr) return code;
  int s = 0;
  if (ravo_scp_read_coldstart_state(scp->getRavo(), &s) == -1) return failed(scp, "error resetting coldstart state", msg);
  state = s != 0;
  KAV_TRACE_STR(KAVT, "edalScratchpadReadColdstartState %s state=%u", scp->getDeviceNm(), static_cast<unsigned int>(s));
  return edal::EDAL_OK;
}

unsigned int edalScratchpadResetColdstartState(EdalHandle* h, std::string& msg) {
  unsigned int code = 0;
  EdalScpdHandle* scp = toScpd(h, "edalScratchpadResetColdstartState", code, msg);
  if (scp == nullptr) return code;
  if (ravo_scp_reset_coldstart_state(scp->getRavo()) == -1) return failed(scp, "error resetting coldstart state", msg);
  KAV_TRACE_STR(KAVT, "edalScratchpadResetColdstartState %s", scp->getDeviceNm());
  return edal::EDAL_OK;
}

unsigned int edalScratchpadGetSize(EdalHandle* h, unsigned int& size, std::string& msg) {
  unsigned int code = 0;
  EdalScpdHandle* scp = toScpd(h, "edalScratchpadGetSize", code, msg);
  if (scp == nullptr) return code;
  uint32_t s = 0;
  if (ravo_scp_get_size(scp->getRavo(), &s) == -1) return failed(scp, "error getting scratchpad size", msg);
  size = s;
  return edal::EDAL_OK;
}
