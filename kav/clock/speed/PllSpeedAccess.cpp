#include "kav/clock/speed/PllSpeedAccess.h"

KAV_TREE_CLASS_IMPL(PllSpeedAccess, AtomicBase)

PllSpeedAccess::PllSpeedAccess() {}

PllSpeedAccess::~PllSpeedAccess() {}
