#include "kav/hwaccess/dio/OutputControlHwrInterface.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(OutputControlHwrInterface, PowerControllable)

OutputControlHwrInterface::OutputControlHwrInterface() {}

OutputControlHwrInterface::~OutputControlHwrInterface() {}

ErrorData OutputControlHwrInterface::switchForPwrCtrl(unsigned int signalName, unsigned int switchId) {
  KAV_TRACE_STR(KAVT, "%s::switchForPwrCtrl signal=%u switch=%u slot=0x%08X", get_string_by_id(getClassId()),
                signalName, switchId, getSlotId());
  if (switchId == kav::sid::OUTPUT_ENABLED || switchId == kav::sid::STATE_ON) return enableOutput();
  if (switchId == kav::sid::OUTPUT_DISABLED || switchId == kav::sid::STATE_OFF) return disableOutput();
  KAV_TRACE_STR(KAVE, "%s::switchForPwrCtrl unknown switch %u slot=0x%08X", get_string_by_id(getClassId()), switchId,
                getSlotId());
  return ErrorData(ErrorData::NO_OVERWRITE, 0x7013u);
}
