#include "kav/hwaccess/dio/OutputControlHwrInterface.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrInterface, AtomicBase)

OutputControlHwrInterface::OutputControlHwrInterface() {}

OutputControlHwrInterface::~OutputControlHwrInterface() {}
