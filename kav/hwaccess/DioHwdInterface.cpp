#include "kav/hwaccess/DioHwdInterface.h"

KAV_TREE_CLASS_IMPL(DioHwdInterface, PowerControllable)

DioHwdInterface::DioHwdInterface() {}

DioHwdInterface::~DioHwdInterface() {}
