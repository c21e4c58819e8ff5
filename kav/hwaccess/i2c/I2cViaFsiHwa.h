// An I2C engine behind a CFAM (up to 16 ports): opened at init step 0,
// closed at termination step 4; the device access layer opens each port on
// its first transfer. Every operation holds the object's lock, so the
// transfers of different devices on the engine never interleave. A failed
// device call becomes an error value with the device access layer's code
// (handleError); logging it is left to the device's driver.
#ifndef KAV_HWACCESS_I2CVIAFSIHWA_H
#define KAV_HWACCESS_I2CVIAFSIHWA_H

#include <ostream>
#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/i2c/I2cHwaInterface.h"

class KAV_EXPORT I2cViaFsiHwa : public I2cHwaInterface {
  KAV_TREE_CLASS(I2cViaFsiHwa)

 public:
  // The instance id becomes the engine's instance name id.
  explicit I2cViaFsiHwa(const FsiEngineInfo& info);
  ~I2cViaFsiHwa() override;

  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // Handle and engine address, then the base classes.
  void dumpXml(std::ostream& os) const override;

  // 0x7017/0x7019 when the engine is not open; 0x7012 for a missing buffer
  // with a non-zero length; else the device access layer's code.
  ErrorData write(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                  unsigned int len) const override;
  ErrorData read(const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                 unsigned int& len) const override;
  ErrorData resetIrq(const i2c::i2cInfo_s& info, unsigned int offset, const unsigned char* data,
                     unsigned int len) const override;

  // Opens the engine unless it is open already.
  ErrorData openEngine();
  // Closes it (every opened port) when open.
  ErrorData closeEngine();
  bool isOpen() const;
  // 0 when open; else 0x7017 for an object marked deleted, 0x7019 otherwise.
  ErrorData checkForEngineOpen() const;
  // err = rc with the engine's text, keys (FSI_I2C_ACCESS), slot id, engine
  // path and the device access layer's message.
  void handleError(ErrorData& err, unsigned long rc, std::string& msg) const;

  const FsiEngineInfo& getEngineInfo() const { return m_engineInfo; }

 private:
  ErrorData transfer(i2c::TransferKind_t kind, const i2c::i2cInfo_s& info, unsigned int offset, unsigned char* data,
                     unsigned int& len) const;

  FsiEngineInfo m_engineInfo;
  EdalHandle* m_pEdalHandle;
};

#endif
