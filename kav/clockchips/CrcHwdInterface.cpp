#include "kav/clockchips/CrcHwdInterface.h"

KAV_TREE_CLASS_IMPL(CrcHwdInterface, PowerControllable)

CrcHwdInterface::CrcHwdInterface() {}

CrcHwdInterface::~CrcHwdInterface() {}
