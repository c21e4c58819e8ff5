#include "quib/Quib.h"

#include "kav/runtime/KavTrace.h"

namespace QUIB {

std::atomic<uint32_t> quib_config_been_run{0};
std::mutex g_exclusiveAccessMutex;

namespace {
const int kCardType = 0x20B20001;
const int kHardwareLevel = 1;
}  // namespace

unsigned int quib_getCT(unsigned int slotId, int& cardType) {
  cardType = kCardType;
  KAV_TRACE(QBIN, "quib_getCT slot=0x%08X type=0x%08X", slotId, cardType);
  return 0;
}

unsigned int quib_getHwl(unsigned int slotId, int& hardwareLevel) {
  hardwareLevel = kHardwareLevel;
  KAV_TRACE(QBIN, "quib_getHwl slot=0x%08X level=%d", slotId, hardwareLevel);
  return 0;
}

}  // namespace QUIB
