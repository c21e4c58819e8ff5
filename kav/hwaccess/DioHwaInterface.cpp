#include "kav/hwaccess/DioHwaInterface.h"

KAV_TREE_CLASS_IMPL(DioHwaInterface, AtomicBase)

DioHwaInterface::DioHwaInterface() {}

DioHwaInterface::~DioHwaInterface() {}
