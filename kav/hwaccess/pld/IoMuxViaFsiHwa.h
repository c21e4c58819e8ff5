// An I/O multiplexer engine behind a CFAM: opened at init step 0, closed at
// termination step 4. Every operation holds the object's lock and checks
// that the engine is open; a transfer must lie within the groups the device
// reports. A failed device call becomes an error value (handleError); the
// first one of the engine is logged, later ones only marked logged.
#ifndef KAV_HWACCESS_IOMUXVIAFSIHWA_H
#define KAV_HWACCESS_IOMUXVIAFSIHWA_H

#include <ostream>
#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/pld/IoMuxHwaInterface.h"

class KAV_EXPORT IoMuxViaFsiHwa : public IoMuxHwaInterface {
  KAV_TREE_CLASS(IoMuxViaFsiHwa)

 public:
  // The instance id becomes the engine's instance name id.
  explicit IoMuxViaFsiHwa(const FsiEngineInfo& info);
  ~IoMuxViaFsiHwa() override;

  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // Handle and engine address, then the base classes.
  void dumpXml(std::ostream& os) const override;

  // 0x7383 for entries beyond the device's groups (no device call); 0x7012
  // for a missing buffer with a non-zero count.
  ErrorData read(unsigned int index, IoMuxInfo* infos, unsigned int& count) const override;
  ErrorData write(unsigned int index, const IoMuxInfo* infos, unsigned int count) const override;
  ErrorData readNumOfIoMuxGroups(unsigned int& n) const override;

  // Opens the engine unless it is open already.
  ErrorData openEngine();
  // Closes it when open.
  ErrorData closeEngine();
  bool isOpen() const;
  // 0 when open; else 0x7017 for an object marked deleted, 0x7019 otherwise.
  ErrorData checkForEngineOpen() const;
  // err = rc with the engine's text, key FSI_IOMUX_ACCESS, slot id, engine
  // path and the device access layer's message; logged once per engine.
  void handleError(ErrorData& err, unsigned long rc, std::string& msg) const;

  const FsiEngineInfo& getEngineInfo() const { return m_engineInfo; }

 private:
  ErrorData readNumOfIoMuxGroupsLowLevel(unsigned int& n) const;
  // The open check, the number of groups and the range check of a transfer.
  ErrorData checkTransfer(const char* what, unsigned int index, const void* infos, unsigned int count) const;

  FsiEngineInfo m_engineInfo;
  EdalHandle* m_pEdalHandle;
  mutable bool m_errorLogged;
};

#endif
