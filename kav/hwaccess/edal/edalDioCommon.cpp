#include "kav/hwaccess/edal/edalDioCommon.h"

#include <cerrno>

#include "kav/hwaccess/edal/EdalStatus.h"
#include "kav/hwaccess/edal/edalFfdc.h"
#include "kav/runtime/KavTrace.h"

namespace edalDioCommon {

using edalFfdc::join;
using edalFfdc::pointer;

EdalDioHandle* toDio(EdalHandle* h, const char* function, unsigned int& code, std::string& msg) {
  EdalDioHandle* dio = dynamic_cast<EdalDioHandle*>(h);
  if (dio == nullptr || dio->getRavo() == nullptr) {
    KAV_TRACE_STR(KAVE, "%s: no open digital-I/O handle %p", function, h);
    code = edal::EDAL_DIO_BASE + EBADF;
    msg = join(std::string(function) + ": no open digital-I/O handle", msg);
    return nullptr;
  }
  return dio;
}

unsigned int failure(const std::string& call, const EdalDioHandle* h, unsigned int err, std::string& msg) {
  std::string text = call + ") for device " + h->getDeviceNm() + " (m_ravo=" + pointer(h->getRavo()) +
                     ") failed with errno=" + std::to_string(err);
  KAV_TRACE_STR(KAVE, "%s errno=%u", h->getDeviceNm(), err);
  std::string ffdc;
  edalFfdc::collectDio(h->getRavo(), ffdc);
  msg = join(join(text, ffdc), msg);
  return edal::EDAL_DIO_BASE + err;
}

}  // namespace edalDioCommon
