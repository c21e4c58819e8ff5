#include "kav/hwaccess/dio/DioHwdInterface.h"

KAV_TREE_CLASS_IMPL(DioHwdInterface, PowerControllable)

DioHwdInterface::DioHwdInterface() {}

DioHwdInterface::~DioHwdInterface() {}
