// One logical memory block (a part of a memory device) that a Ram joins
// with the others into one address space.
#ifndef KAV_HWACCESS_RAMHWRINTERFACE_H
#define KAV_HWACCESS_RAMHWRINTERFACE_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT RamHwrInterface : public QueryBase {
  KAV_TREE_CLASS(RamHwrInterface)

 public:
  ~RamHwrInterface() override;

  // Bytes [offset, offset + len) of the memory.
  virtual ErrorData read(unsigned int offset, unsigned char* data, unsigned int len) const = 0;
  virtual ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const = 0;
  // The memory's size in bytes.
  virtual ErrorData readSize(unsigned int& size) const = 0;

 protected:
  RamHwrInterface();
};

#endif
