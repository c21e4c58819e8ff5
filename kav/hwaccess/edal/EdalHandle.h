// The base of every device handle of the device access layer: the library's
// device structure, a user handle, a signature and the device path.
#ifndef KAV_HWACCESS_EDALHANDLE_H
#define KAV_HWACCESS_EDALHANDLE_H

#include <string>

#include "kav/hwaccess/edal/EdalInfo.h"

struct ravo_struct;

// Device families; the value indexes the table of device-path prefixes.
enum fsidev_t : unsigned int {
  FSIDEV_FSI = 0,
  FSIDEV_GPIO = 1,
  FSIDEV_IIC = 2,
  FSIDEV_IIC_SLV = 3,
  FSIDEV_IOMUX = 4,
  FSIDEV_JTAG = 5,
  FSIDEV_JTAG_IRQ = 6,
  FSIDEV_MBX = 7,
  FSIDEV_PSI = 8,
  FSIDEV_SCAN = 9,
  FSIDEV_SCOM = 10,
  FSIDEV_SCOM_I = 11,
  FSIDEV_SCP = 12,
  FSIDEV_UART = 13,
  FSIDEV_UART_PORT1 = 14,  // "/dev/uart" with the port forced to 1
  FSIDEV_COUNT = 15
};

// Size of the buffer the C form writes into, terminating NUL included.
const unsigned int EDAL_MAX_DEVICE_NAME = 256;

// Writes the device path into out (a buffer of EDAL_MAX_DEVICE_NAME bytes,
// always NUL-terminated) when out is not null. Returns 0, or 0xFFFFFFFF for
// an unknown family.
unsigned int buildRavoDeviceName(fsidev_t family, unsigned int link, unsigned int cascade, unsigned int engine,
                                 unsigned int port, char* out);

class EdalHandle {
 public:
  EdalHandle();
  virtual ~EdalHandle();
  EdalHandle(const EdalHandle&) = delete;
  EdalHandle& operator=(const EdalHandle&) = delete;

  // The path as a string; empty for an unknown family.
  static std::string buildRavoDeviceName(fsidev_t family, unsigned int link, unsigned int cascade,
                                         unsigned int engine, unsigned int port);
  static std::string buildRavoDeviceName(fsidev_t family, const EdalInfo& info, unsigned int port);
  // Stores the path of the engine as this handle's device path.
  void buildDeviceName(fsidev_t family, const EdalInfo& info, unsigned int port);
  // The device path followed by "P%02u".
  std::string getDeviceNameWithPort(unsigned int port) const;

  ravo_struct* getRavo() const { return m_pRavo; }
  void setRavo(ravo_struct* r) { m_pRavo = r; }
  unsigned int getHandle() const { return m_handle; }
  void setHandle(unsigned int h) { m_handle = h; }
  unsigned int getSignature() const { return m_signature; }
  void setSignature(unsigned int s) { m_signature = s; }
  void setDeviceName(const std::string& name) { m_deviceName = name; }
  const char* getDeviceName() const { return m_deviceName.c_str(); }
  const std::string& getDeviceNm() const { return m_deviceName; }

 private:
  ravo_struct* m_pRavo;
  unsigned int m_handle;
  unsigned int m_signature;
  std::string m_deviceName;
};

#endif
