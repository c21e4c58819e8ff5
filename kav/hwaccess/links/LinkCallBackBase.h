// What a dynamic link calls when it was rebound: a copyable callback.
#ifndef KAV_HWACCESS_LINKCALLBACKBASE_H
#define KAV_HWACCESS_LINKCALLBACKBASE_H

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT LinkCallBackBase {
 public:
  LinkCallBackBase();
  virtual ~LinkCallBackBase();
  // A heap copy; the caller owns it.
  virtual LinkCallBackBase* getCopy() const = 0;
  virtual void callBack() const = 0;
};

#endif
