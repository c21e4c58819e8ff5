// A scratchpad memory engine: bytes kept across service-processor restarts.
#ifndef KAV_HWACCESS_SCRATCHPADHWAINTERFACE_H
#define KAV_HWACCESS_SCRATCHPADHWAINTERFACE_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT ScratchpadHwaInterface : public QueryBase {
  KAV_TREE_CLASS(ScratchpadHwaInterface)

 public:
  ~ScratchpadHwaInterface() override;

  // Bytes [offset, offset + len) of the memory.
  virtual ErrorData read(unsigned int offset, unsigned char* data, unsigned int len) const = 0;
  virtual ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const = 0;
  // The memory's size in bytes.
  virtual ErrorData readSize(unsigned int& size) const = 0;

 protected:
  ScratchpadHwaInterface();
};

#endif
