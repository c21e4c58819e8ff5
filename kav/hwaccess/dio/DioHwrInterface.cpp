#include "kav/hwaccess/dio/DioHwrInterface.h"

#include "kav/tree/config/StringIds.h"

bool dioPolarity::fromStringId(unsigned int stringId, unsigned int& polarity) {
  if (stringId == kav::sid::DIO_POLARITY_HIGH_ON) {
    polarity = DIO_POLARITY_HIGH_ON;
  } else if (stringId == kav::sid::DIO_POLARITY_LOW_ON) {
    polarity = DIO_POLARITY_LOW_ON;
  } else {
    return false;
  }
  return true;
}

KAV_TREE_CLASS_IMPL(DioHwrInterface, PowerControllable)

DioHwrInterface::DioHwrInterface() {}

DioHwrInterface::~DioHwrInterface() {}
