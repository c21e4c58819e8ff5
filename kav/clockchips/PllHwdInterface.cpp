#include "kav/clockchips/PllHwdInterface.h"

KAV_TREE_CLASS_IMPL(PllHwdInterface, PowerControllable)

PllHwdInterface::PllHwdInterface() {}

PllHwdInterface::~PllHwdInterface() {}
