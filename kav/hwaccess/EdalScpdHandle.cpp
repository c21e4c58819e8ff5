#include "kav/hwaccess/EdalScpdHandle.h"

EdalScpdHandle::EdalScpdHandle() = default;

EdalScpdHandle::~EdalScpdHandle() = default;
