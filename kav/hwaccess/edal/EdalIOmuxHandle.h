// Handle of the I/O multiplexer of a CFAM.
#ifndef KAV_HWACCESS_EDALIOMUXHANDLE_H
#define KAV_HWACCESS_EDALIOMUXHANDLE_H

#include "kav/hwaccess/edal/EdalHandle.h"

class EdalIOmuxHandle : public EdalHandle {
 public:
  EdalIOmuxHandle();
  ~EdalIOmuxHandle() override;
};

#endif
