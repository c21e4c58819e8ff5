#include "kav/hwaccess/edal/EdalIOmuxHandle.h"

EdalIOmuxHandle::EdalIOmuxHandle() = default;

EdalIOmuxHandle::~EdalIOmuxHandle() = default;
