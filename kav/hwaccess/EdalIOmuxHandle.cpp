#include "kav/hwaccess/EdalIOmuxHandle.h"

EdalIOmuxHandle::EdalIOmuxHandle() = default;

EdalIOmuxHandle::~EdalIOmuxHandle() = default;
