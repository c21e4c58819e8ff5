#include "kav/hwaccess/pld/PldHwrInterface.h"

KAV_TREE_CLASS_IMPL(PldHwrInterface, QueryBase)

PldHwrInterface::PldHwrInterface() {}

PldHwrInterface::~PldHwrInterface() {}
