// A scratchpad memory engine behind a CFAM. It keeps a full copy of the
// memory (the cache): reads are served from it, writes go to it and through
// to the device. Opened at init step 0 (the cache is filled then, or the
// memory zeroed on a cold start), closed at termination step 4; the cache
// stays, so reads go on while it is valid. A failed device write leaves the
// new bytes in the cache and the cache not valid: reads then need the
// engine open.
#ifndef KAV_HWACCESS_SCRATCHPADVIAFSIHWA_H
#define KAV_HWACCESS_SCRATCHPADVIAFSIHWA_H

#include <string>

#include "kav/hwaccess/edal/EdalHandle.h"
#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/scratchpad/ScratchpadHwaInterface.h"

class KAV_EXPORT ScratchpadViaFsiHwa : public ScratchpadHwaInterface {
  KAV_TREE_CLASS(ScratchpadViaFsiHwa)

 public:
  // The instance id becomes the engine's instance name id.
  explicit ScratchpadViaFsiHwa(const FsiEngineInfo& info);
  ~ScratchpadViaFsiHwa() override;

  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;
  // Handle, engine address, size, cache state and the cache's bytes, then
  // the base classes.
  void dumpXml(std::ostream& os) const override;

  // 0x7180 beyond the memory; 0x7017/0x7019 with the cache not valid and
  // the engine not open.
  ErrorData read(unsigned int offset, unsigned char* data, unsigned int len) const override;
  ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const override;
  // The device's size.
  ErrorData readSize(unsigned int& size) const override;

  // Opens the engine and fills the cache unless it is open already.
  ErrorData openEngine();
  ErrorData closeEngine();
  bool isOpen() const;
  bool isCacheValid() const;
  unsigned int getScratchpadSize() const;
  // A cold start is one the process was started for (g_coldStart) that the
  // memory itself has not seen yet (its own cold-start state still set):
  // a card that comes back in the same process keeps its contents.
  ErrorData readColdstartIndicator(bool& coldStart) const;
  ErrorData resetColdstartIndicator() const;
  // 0 when open; else 0x7017 for an object marked deleted, 0x7019 otherwise.
  ErrorData checkForEngineOpen() const;
  // err = rc with the engine's text, keys, slot id and the device access
  // layer's message; the first such error of the engine is logged, later
  // ones are only marked logged.
  void handleError(ErrorData& err, unsigned long rc, std::string& msg) const;

  const FsiEngineInfo& getEngineInfo() const { return m_engineInfo; }

 private:
  ErrorData readSizeLowLevel(unsigned int& size) const;
  ErrorData readLowLevel(unsigned int offset, unsigned char* data, unsigned int len) const;
  ErrorData writeLowLevel(unsigned int offset, const unsigned char* data, unsigned int len) const;
  // Brings the cache to the memory's contents (device read, or zeros written
  // over the memory on a cold start).
  ErrorData fillCache() const;
  bool fits(unsigned int offset, unsigned int len) const;
  void traceBytes(const char* what, unsigned int offset, const unsigned char* data, unsigned int len) const;

  FsiEngineInfo m_engineInfo;
  EdalHandle* m_pEdalHandle;
  unsigned int m_scratchpadSize;
  mutable bool m_cacheValid;
  unsigned char* m_pCache;
  mutable bool m_errorLogged;
  // The cache holds the memory's contents (or the bytes meant for it): it
  // was filled once. Until then reads and writes try to fill it first.
  mutable bool m_cacheFilled;
};

#endif
