#include "kav/hwaccess/dio/DioHwaInterface.h"

#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

bool dioMode::fromStringId(unsigned int stringId, DioMode_t& mode) {
  if (stringId < kav::sid::DIO_MODE_INPUT || stringId > kav::sid::DIO_MODE_OPEN_SOURCE) return false;
  mode = static_cast<DioMode_t>(stringId - kav::sid::DIO_MODE_INPUT + DIO_MODE_1);
  return true;
}

const kavstl::string& kavPld::asString(unsigned int control) {
  static const unsigned int kNames[] = {kav::sid::ENGINE_TYPE_NONE, kav::sid::PLD_CONTROL_1, kav::sid::PLD_CONTROL_2,
                                        kav::sid::PLD_CONTROL_3};
  return get_string_by_id(control < 4 ? kNames[control] : kav::sid::STRING_NOT_FOUND);
}

bool kavPld::fromStringId(unsigned int stringId, LookupControl_t& control) {
  if (stringId == kav::sid::PLD_CONTROL_1) {
    control = LOOKUP_CONTROL_1;
  } else if (stringId == kav::sid::PLD_CONTROL_2) {
    control = LOOKUP_CONTROL_2;
  } else if (stringId == kav::sid::PLD_CONTROL_3) {
    control = LOOKUP_CONTROL_3;
  } else {
    return false;
  }
  return true;
}

KAV_TREE_CLASS_IMPL(DioHwaInterface, AtomicBase)

DioHwaInterface::DioHwaInterface() {}

DioHwaInterface::~DioHwaInterface() {}
