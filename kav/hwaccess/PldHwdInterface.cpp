#include "kav/hwaccess/PldHwdInterface.h"

KAV_TREE_CLASS_IMPL(PldHwdInterface, QueryBase)

PldHwdInterface::PldHwdInterface() {}

PldHwdInterface::~PldHwdInterface() {}
