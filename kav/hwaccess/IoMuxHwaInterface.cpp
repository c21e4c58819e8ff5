#include "kav/hwaccess/IoMuxHwaInterface.h"

KAV_TREE_CLASS_IMPL(IoMuxHwaInterface, QueryBase)

IoMuxHwaInterface::IoMuxHwaInterface() {}

IoMuxHwaInterface::~IoMuxHwaInterface() {}
