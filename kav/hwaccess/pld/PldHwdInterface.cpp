#include "kav/hwaccess/pld/PldHwdInterface.h"

KAV_TREE_CLASS_IMPL(PldHwdInterface, QueryBase)

PldHwdInterface::PldHwdInterface() {}

PldHwdInterface::~PldHwdInterface() {}
