// An I/O multiplexer engine: its table of multiplexer entries.
// Only the interface's identity for now: the objects that link to it find
// it by class; its operations come with its implementations.
#ifndef KAV_HWACCESS_IOMUXHWAINTERFACE_H
#define KAV_HWACCESS_IOMUXHWAINTERFACE_H

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT IoMuxHwaInterface : public QueryBase {
  KAV_TREE_CLASS(IoMuxHwaInterface)

 public:
  ~IoMuxHwaInterface() override;

 protected:
  IoMuxHwaInterface();
};

#endif
