#include "kav/hwaccess/dio/OutputControlHwrInterface.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrInterface, PowerControllable)

OutputControlHwrInterface::OutputControlHwrInterface() {}

OutputControlHwrInterface::~OutputControlHwrInterface() {}
