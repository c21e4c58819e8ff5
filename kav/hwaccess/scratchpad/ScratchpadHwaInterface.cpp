#include "kav/hwaccess/scratchpad/ScratchpadHwaInterface.h"

KAV_TREE_CLASS_IMPL(ScratchpadHwaInterface, QueryBase)

ScratchpadHwaInterface::ScratchpadHwaInterface() {}

ScratchpadHwaInterface::~ScratchpadHwaInterface() {}
