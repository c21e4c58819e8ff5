#include "kav/hwaccess/scratchpad/RamHwrInterface.h"

KAV_TREE_CLASS_IMPL(RamHwrInterface, QueryBase)

RamHwrInterface::RamHwrInterface() {}

RamHwrInterface::~RamHwrInterface() {}
