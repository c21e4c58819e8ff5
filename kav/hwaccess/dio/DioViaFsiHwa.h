// A GPIO engine behind a CFAM: opened at init step 0, closed at termination
// step 4. Every operation locks the object, checks that the engine is open
// and turns a failed device call into an error value (handleError).
#ifndef KAV_HWACCESS_DIOVIAFSIHWA_H
#define KAV_HWACCESS_DIOVIAFSIHWA_H

#include <string>

#include "kav/hwaccess/dio/DioHwaInterface.h"
#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/edal/edalDio.h"

class KAV_EXPORT DioViaFsiHwa : public DioHwaInterface {
  KAV_TREE_CLASS(DioViaFsiHwa)

 public:
  // The instance id becomes the engine's instance name id.
  explicit DioViaFsiHwa(const FsiEngineInfo& info);
  ~DioViaFsiHwa() override;

  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData configureMode(unsigned int mask, dioMode::DioMode_t mode) const override;
  ErrorData reconfigureMode(unsigned int mask, dioMode::DioMode_t mode) const override;
  ErrorData getMode(unsigned int& mask, dioMode::DioMode_t mode) const override;
  ErrorData writeLevel(unsigned int mask, unsigned int value) const override;
  ErrorData readLevel(unsigned int& value) const override;
  ErrorData setBlinkRate(unsigned int rate) const override;
  ErrorData blink(unsigned int mask) const override;
  ErrorData enableInterrupt(unsigned int mask, unsigned int polarity, unsigned int irqId) const override;
  ErrorData disableInterrupt(unsigned int mask) const override;
  ErrorData resetInterruptCondition(unsigned int mask) const override;
  unsigned int getIrqIdHighLevel(unsigned int mask) const override;
  unsigned int getIrqIdLowLevel(unsigned int mask) const override;
  ErrorData pldSetConfig(unsigned int pldId, unsigned int config) const override;
  ErrorData pldGetConfig(unsigned int pldId, unsigned int& config) const override;
  ErrorData pldWriteLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const override;
  ErrorData pldReadLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const override;

  // Opens the engine unless it is open already.
  ErrorData openEngine();
  // Closes it when open.
  ErrorData closeEngine();
  bool isOpen() const;
  // 0 when open; else 0x7017 for an object marked deleted, 0x7019 otherwise.
  ErrorData checkForEngineOpen() const;
  // err = rc with the engine's text, keys, slot id and the device access
  // layer's message. A vanished device (0x50013) becomes 0x7017 with the same
  // data; the first such error of the engine is logged, later ones are only
  // marked logged (nothing is logged for an engine that leaves the tree).
  void handleError(ErrorData& err, unsigned long rc, std::string& msg) const;

  const FsiEngineInfo& getEngineInfo() const { return m_engineInfo; }

  // The device access mode of a mode (0..6); false for any other value.
  static bool mapMode(unsigned int mode, edalDio::dioMode_t& edalMode);

 private:
  FsiEngineInfo m_engineInfo;
  EdalHandle* m_pHandle;
  // The engine logged that its device is gone (under the object's lock).
  mutable bool m_deviceGoneLogged;
};

#endif
