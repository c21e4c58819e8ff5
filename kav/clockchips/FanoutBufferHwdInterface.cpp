#include "kav/clockchips/FanoutBufferHwdInterface.h"

KAV_TREE_CLASS_IMPL(FanoutBufferHwdInterface, PowerControllable)

FanoutBufferHwdInterface::FanoutBufferHwdInterface() {}

FanoutBufferHwdInterface::~FanoutBufferHwdInterface() {}
