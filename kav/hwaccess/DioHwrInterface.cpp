#include "kav/hwaccess/DioHwrInterface.h"

KAV_TREE_CLASS_IMPL(DioHwrInterface, AtomicBase)

DioHwrInterface::DioHwrInterface() {}

DioHwrInterface::~DioHwrInterface() {}
