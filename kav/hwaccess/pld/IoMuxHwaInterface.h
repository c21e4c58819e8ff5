// An I/O multiplexer engine: its table of multiplexer entries, one per pin
// group.
#ifndef KAV_HWACCESS_IOMUXHWAINTERFACE_H
#define KAV_HWACCESS_IOMUXHWAINTERFACE_H

#include "kav/hwaccess/pld/IoMuxInfo.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT IoMuxHwaInterface : public QueryBase {
  KAV_TREE_CLASS(IoMuxHwaInterface)

 public:
  ~IoMuxHwaInterface() override;

  // Entries [index, index + count) into infos (their group ids stay).
  virtual ErrorData read(unsigned int index, IoMuxInfo* infos, unsigned int& count) const = 0;
  // infos[0 .. count) into entries [index, index + count).
  virtual ErrorData write(unsigned int index, const IoMuxInfo* infos, unsigned int count) const = 0;
  // The number of groups (entries) of the multiplexer.
  virtual ErrorData readNumOfIoMuxGroups(unsigned int& n) const = 0;

 protected:
  IoMuxHwaInterface();
};

#endif
