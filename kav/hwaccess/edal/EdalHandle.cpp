#include "kav/hwaccess/edal/EdalHandle.h"

#include <cstdio>
#include <cstring>

#include "kav/runtime/KavTrace.h"

namespace {

const char* const kPrefix[FSIDEV_COUNT] = {
    "/dev/fsi",  "/dev/gpio", "/dev/iic",   "/dev/iic-slv", "/dev/iomux", "/dev/jtag", "/dev/jtag_irq", "/dev/mbx",
    "/dev/psi",  "/dev/scan", "/dev/scom",  "/dev/scom_i",  "/dev/scp",   "/dev/uart", "/dev/uart"};

// The path rule: a later field only counts when every earlier one is present.
bool formatPath(fsidev_t family, unsigned int link, unsigned int cascade, unsigned int engine, unsigned int port,
                std::string& out) {
  if (static_cast<unsigned int>(family) >= FSIDEV_COUNT) return false;
  if (family == FSIDEV_UART_PORT1) port = 1;
  out = kPrefix[family];
  char part[16];
  if (link != EdalInfo::ABSENT) {
    std::snprintf(part, sizeof part, "/L%02u", link);
    out += part;
    if (cascade != EdalInfo::ABSENT) {
      std::snprintf(part, sizeof part, "C%1u", cascade);
      out += part;
      if (engine != EdalInfo::ABSENT) {
        std::snprintf(part, sizeof part, "E%02u", engine);
        out += part;
        if (port != EdalInfo::ABSENT) {
          std::snprintf(part, sizeof part, "P%02u", port);
          out += part;
        }
      }
    }
  }
  return true;
}

}  // namespace

unsigned int buildRavoDeviceName(fsidev_t family, unsigned int link, unsigned int cascade, unsigned int engine,
                                 unsigned int port, char* out) {
  std::string path;
  if (!formatPath(family, link, cascade, engine, port, path)) {
    KAV_TRACE(KAVE, "buildRavoDeviceName: unknown family %u", static_cast<unsigned int>(family));
    return 0xFFFFFFFFu;
  }
  if (out != nullptr) {
    std::strncpy(out, path.c_str(), EDAL_MAX_DEVICE_NAME - 1);
    out[EDAL_MAX_DEVICE_NAME - 1] = '\0';
  }
  return 0;
}

EdalHandle::EdalHandle() : m_pRavo(nullptr), m_handle(0), m_signature(0) {}

EdalHandle::~EdalHandle() = default;

std::string EdalHandle::buildRavoDeviceName(fsidev_t family, unsigned int link, unsigned int cascade,
                                            unsigned int engine, unsigned int port) {
  std::string path;
  if (!formatPath(family, link, cascade, engine, port, path)) {
    KAV_TRACE(KAVE, "buildRavoDeviceName: unknown family %u", static_cast<unsigned int>(family));
    return std::string();
  }
  return path;
}

std::string EdalHandle::buildRavoDeviceName(fsidev_t family, const EdalInfo& info, unsigned int port) {
  return buildRavoDeviceName(family, info.getPhysicalLinkNumber(), info.getPhysicalCascadeId(),
                             info.getPhysicalEngineNumber(), port);
}

void EdalHandle::buildDeviceName(fsidev_t family, const EdalInfo& info, unsigned int port) {
  m_deviceName = buildRavoDeviceName(family, info, port);
  KAV_TRACE_STR(KAVT, "buildDeviceName %s signature=0x%08X", m_deviceName, m_signature);
}

std::string EdalHandle::getDeviceNameWithPort(unsigned int port) const {
  char part[16];
  std::snprintf(part, sizeof part, "P%02u", port);
  return m_deviceName + part;
}
