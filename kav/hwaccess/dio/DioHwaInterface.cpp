#include "kav/hwaccess/dio/DioHwaInterface.h"

#include "kav/tree/config/StringIds.h"

bool dioMode::fromStringId(unsigned int stringId, DioMode_t& mode) {
  if (stringId < kav::sid::DIO_MODE_INPUT || stringId > kav::sid::DIO_MODE_OPEN_SOURCE) return false;
  mode = static_cast<DioMode_t>(stringId - kav::sid::DIO_MODE_INPUT + DIO_MODE_1);
  return true;
}

KAV_TREE_CLASS_IMPL(DioHwaInterface, AtomicBase)

DioHwaInterface::DioHwaInterface() {}

DioHwaInterface::~DioHwaInterface() {}
