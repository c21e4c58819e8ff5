#include "kav/hwaccess/edal/EdalScpdHandle.h"

EdalScpdHandle::EdalScpdHandle() = default;

EdalScpdHandle::~EdalScpdHandle() = default;
