#include "kav/hwaccess/fsi/HwaFactory.h"

#include "kav/hwaccess/edal/edalFsi.h"
#include "kav/tree/config/StringToId.h"

template <>
unsigned int HwaFactory<edalFsi::engineInfo_t>::staticGetClassId() {
  static const unsigned int s_classId = get_id_by_string("HwaFactory");
  return s_classId;
}

template class HwaFactory<edalFsi::engineInfo_t>;
