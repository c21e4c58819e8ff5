#include "kav/hwaccess/edal/edalIomux.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <vector>

#include "kav/hwaccess/edal/EdalIOmuxHandle.h"
#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"
#include "ravo_iomux.h"

using edalFfdc::hex;
using edalFfdc::join;
using edalFfdc::lastErrno;

namespace {

// The fields an entry is compared on: enable, level, control gates, threshold.
const unsigned int kCompareMask = 0xFFF00000u;

EdalIOmuxHandle* toIomux(EdalHandle* h, const char* function, unsigned int& code, std::string& msg) {
  EdalIOmuxHandle* mux = dynamic_cast<EdalIOmuxHandle*>(h);
  if (mux == nullptr || mux->getRavo() == nullptr) {
    KAV_TRACE_STR(KAVE, "%s: no open I/O multiplexer handle %p", function, h);
    msg = join(msg, std::string(function) + ": no open I/O multiplexer handle");
    code = EBADF;
    return nullptr;
  }
  return mux;
}

unsigned int failed(const EdalIOmuxHandle* h, const std::string& text, std::string& msg) {
  unsigned int err = lastErrno();
  KAV_TRACE_STR(KAVE, "%s errno=%u", h->getDeviceNm(), err);
  msg = join(msg, text + " (device " + h->getDeviceNm() + ", errno=" + std::to_string(err) + ")");
  edalFfdc::collectIomux(h->getRavo(), msg);
  return err;
}

unsigned int logical(const EdalIOmuxHandle* h, const std::string& text, std::string& msg) {
  KAV_TRACE_STR(KAVE, "%s: logical failure", h->getDeviceNm());
  msg = join(msg, text);
  return edal::EDAL_LOGICAL;
}

unsigned int querySize(const EdalIOmuxHandle* h, uint32_t& size, std::string& msg) {
  size = ravo_iomux_query_size(h->getRavo());
  if (size == 0xFFFFFFFFu) return failed(h, "error getting size", msg);
  return edal::EDAL_OK;
}

unsigned int seek(const EdalIOmuxHandle* h, unsigned int index, std::string& msg) {
  if (ravo_iomux_seek(h->getRavo(), static_cast<int64_t>(index), SEEK_SET) == -1)
    return failed(h, "error ravo_iomux_seek", msg);
  return edal::EDAL_OK;
}

}  // namespace

unsigned int edalIOmuxOpen(const EdalInfo& info, EdalHandle*& h, std::string& msg) {
  h = nullptr;
  EdalIOmuxHandle* mux = new (std::nothrow) EdalIOmuxHandle();
  if (mux == nullptr) {
    msg = join(msg, "edalIOmuxOpen: new edal handle failed");
    return ENOMEM;
  }
  mux->buildDeviceName(FSIDEV_IOMUX, info, EdalInfo::ABSENT);
  ravo_struct* ravo = ravo_iomux_open(mux->getDeviceName(), O_RDWR);
  if (ravo == nullptr) {
    unsigned int err = lastErrno();
    KAV_TRACE_STR(KAVE, "edalIOmuxOpen %s errno=%u", mux->getDeviceNm(), err);
    msg = join(msg, "error");
    delete mux;
    return err;
  }
  mux->setRavo(ravo);
  h = mux;
  KAV_TRACE_STR(KAVT, "edalIOmuxOpen %s ravo=%p", mux->getDeviceNm(), ravo);
  return edal::EDAL_OK;
}

unsigned int edalIOmuxClose(EdalHandle*& h, std::string& msg) {
  EdalIOmuxHandle* mux = dynamic_cast<EdalIOmuxHandle*>(h);
  if (mux == nullptr) {
    msg = join(msg, "edalIOmuxClose: no I/O multiplexer handle");
    return EBADF;
  }
  unsigned int rc = edal::EDAL_OK;
  if (mux->getRavo() != nullptr && ravo_iomux_close(mux->getRavo()) == -1) {
    rc = lastErrno();
    KAV_TRACE_STR(KAVE, "edalIOmuxClose %s errno=%u", mux->getDeviceNm(), rc);
    msg = join(msg, "error");
  }
  delete mux;
  h = nullptr;
  return rc;
}

unsigned int edalIOmuxWrite(EdalHandle* h, unsigned int index, const edal_iomux_info* entries, unsigned int count,
                            std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxWrite", code, msg);
  if (mux == nullptr) return code;
  KAV_TRACE_STR(KAVT, "edalIOmuxWrite %s index=%u count=%u", mux->getDeviceNm(), index, count);
  uint32_t size = 0;
  unsigned int rc = querySize(mux, size, msg);
  if (rc != edal::EDAL_OK) return rc;
  if (static_cast<uint64_t>(size) < static_cast<uint64_t>(index) + count)
    return logical(mux, "requested size > iomux", msg);
  if (count == 0 || entries == nullptr) return logical(mux, "len = 0", msg);
  const int state = ravo_iomux_query_state(mux->getRavo());
  if (state == -1) return failed(mux, "error getting state", msg);
  rc = seek(mux, index, msg);
  if (rc != edal::EDAL_OK) return rc;

  if (state == RAVO_IOMUX_STATE_WRITABLE) {
    int errors = 0;
    if (ravo_iomux_write(mux->getRavo(), entries, count, 0, &errors) == -1) return failed(mux, "error writing iomux", msg);
    if (errors < 0) return logical(mux, "edalIOmuxWrite: numberOfErrors < 0", msg);
    if (errors > 0) {
      for (int i = 0; i < errors; ++i) msg = join(msg, "edalIOmuxWrite: sanity error index=" + std::to_string(index));
      KAV_TRACE_STR(KAVE, "edalIOmuxWrite %s: %u sanity errors", mux->getDeviceNm(), static_cast<unsigned int>(errors));
      return edal::EDAL_LOGICAL;
    }
    return edal::EDAL_OK;
  }

  // Validated: the multiplexer keeps its content, which must be the requested one.
  std::vector<ravo_iomux_entry_t> current(count, 0);
  if (ravo_iomux_read(mux->getRavo(), current.data(), count) == -1) return failed(mux, "error reading iomux", msg);
  for (unsigned int i = 0; i < count; ++i) {
    if ((current[i] & kCompareMask) != (entries[i] & kCompareMask)) {
      KAV_TRACE_STR(KAVE, "edalIOmuxWrite %s entry %u is 0x%08X, requested 0x%08X", mux->getDeviceNm(), index + i,
                    current[i], entries[i]);
      return logical(mux,
                     "error io mux cb mismatch index=" + std::to_string(index + i) + " is " + hex(current[i]) +
                         " requested " + hex(entries[i]),
                     msg);
    }
  }
  KAV_TRACE_STR(KAVT, "edalIOmuxWrite %s validated and matching", mux->getDeviceNm());
  return edal::EDAL_OK;
}

unsigned int edalIOmuxRead(EdalHandle* h, unsigned int index, edal_iomux_info* entries, unsigned int& count,
                           std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxRead", code, msg);
  if (mux == nullptr) return code;
  uint32_t size = 0;
  unsigned int rc = querySize(mux, size, msg);
  if (rc != edal::EDAL_OK) return rc;
  if (static_cast<uint64_t>(index) + count > size) return logical(mux, "requested size > iomux", msg);
  if (count == 0) return edal::EDAL_OK;
  if (entries == nullptr) return logical(mux, "len = 0", msg);
  rc = seek(mux, index, msg);
  if (rc != edal::EDAL_OK) return rc;
  if (ravo_iomux_read(mux->getRavo(), entries, count) == -1) return failed(mux, "error reading iomux", msg);
  return edal::EDAL_OK;
}

unsigned int edalIOmuxQueryState(EdalHandle* h, unsigned int& state, std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxQueryState", code, msg);
  if (mux == nullptr) return code;
  int s = ravo_iomux_query_state(mux->getRavo());
  if (s == -1) return failed(mux, "error getting state", msg);
  state = static_cast<unsigned int>(s);
  return edal::EDAL_OK;
}

unsigned int edalIOmuxValidate(EdalHandle* h, std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxValidate", code, msg);
  if (mux == nullptr) return code;
  if (ravo_iomux_validate(mux->getRavo()) == -1) return failed(mux, "error validating iomux", msg);
  return edal::EDAL_OK;
}

unsigned int edalIOmuxInvalidate(EdalHandle* h, std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxInvalidate", code, msg);
  if (mux == nullptr) return code;
  if (ravo_iomux_invalidate(mux->getRavo()) == -1) return failed(mux, "error invalidating iomux", msg);
  return edal::EDAL_OK;
}

unsigned int edalIOmuxQuerySize(EdalHandle* h, unsigned int& size, std::string& msg) {
  unsigned int code = 0;
  EdalIOmuxHandle* mux = toIomux(h, "edalIOmuxQuerySize", code, msg);
  if (mux == nullptr) return code;
  uint32_t s = 0;
  unsigned int rc = querySize(mux, s, msg);
  if (rc == edal::EDAL_OK) size = s;
  return rc;
}
