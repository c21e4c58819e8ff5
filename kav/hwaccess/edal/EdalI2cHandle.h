// Handle of one I2C engine: the engine path (without port) and one library
// handle per port, opened on first use of the port.
#ifndef KAV_HWACCESS_EDALI2CHANDLE_H
#define KAV_HWACCESS_EDALI2CHANDLE_H

#include "kav/hwaccess/edal/EdalHandle.h"

class EdalI2cHandle : public EdalHandle {
 public:
  static const unsigned int PORT_COUNT = 16;

  EdalI2cHandle();
  ~EdalI2cHandle() override;

  static bool portValid(unsigned int port) { return port < PORT_COUNT; }
  // An invalid port is ignored (setter) or gives null (getter).
  void setRavoHandle(ravo_struct* handle, unsigned int port);
  ravo_struct* getRavoHandle(unsigned int port) const;

 private:
  ravo_struct* m_pRavoPort[PORT_COUNT];
};

#endif
