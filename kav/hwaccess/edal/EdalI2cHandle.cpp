#include "kav/hwaccess/edal/EdalI2cHandle.h"

#include "kav/runtime/KavTrace.h"

EdalI2cHandle::EdalI2cHandle() {
  for (unsigned int port = 0; port < PORT_COUNT; ++port) m_pRavoPort[port] = nullptr;
}

EdalI2cHandle::~EdalI2cHandle() = default;

void EdalI2cHandle::setRavoHandle(ravo_struct* handle, unsigned int port) {
  if (!portValid(port)) {
    KAV_TRACE(KAVE, "setRavoHandle: port %u beyond %u", port, PORT_COUNT - 1);
    return;
  }
  m_pRavoPort[port] = handle;
}

ravo_struct* EdalI2cHandle::getRavoHandle(unsigned int port) const {
  return portValid(port) ? m_pRavoPort[port] : nullptr;
}
