#include "kav/hwaccess/pld/IoMuxHwaInterface.h"

KAV_TREE_CLASS_IMPL(IoMuxHwaInterface, QueryBase)

IoMuxHwaInterface::IoMuxHwaInterface() {}

IoMuxHwaInterface::~IoMuxHwaInterface() {}
