#include "kav/hwaccess/scratchpad/RamHwdInterface.h"

KAV_TREE_CLASS_IMPL(RamHwdInterface, QueryBase)

RamHwdInterface::RamHwdInterface() {}

RamHwdInterface::~RamHwdInterface() {}
