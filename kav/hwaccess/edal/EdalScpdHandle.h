// Handle of the scratchpad memory of a CFAM.
#ifndef KAV_HWACCESS_EDALSCPDHANDLE_H
#define KAV_HWACCESS_EDALSCPDHANDLE_H

#include "kav/hwaccess/edal/EdalHandle.h"

class EdalScpdHandle : public EdalHandle {
 public:
  EdalScpdHandle();
  ~EdalScpdHandle() override;
};

#endif
