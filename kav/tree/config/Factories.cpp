#include "kav/tree/config/Factories.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "kav/runtime/KavTrace.h"

// Every factory of the library. Keep the list in name order; a factory named
// here must be defined (in its class's source file).
#define KAV_TREE_FACTORIES(X) \
  X(CfamViaFsiHwa)                  \
  X(ClockDomain)                    \
  X(ClockDomainRedundancyController) \
  X(ConfigCompleteIp)               \
  X(Container)                      \
  X(CrcHwdInterfaceLink)            \
  X(DioHwaInterfaceLink)            \
  X(DioHwdInterfaceLink)            \
  X(DioHwdStandard)                 \
  X(DioHwr)                         \
  X(DynamicOscillatorHandler)       \
  X(EngineDefine)                   \
  X(EngineProvider)                 \
  X(FanoutBufferHwdInterfaceLink)   \
  X(FixedFruIdProvider)             \
  X(FixedSlotIdProvider)            \
  X(FrequencyRange)                 \
  X(FruBuilder)                     \
  X(FruIdProviderIp)                \
  X(FruStateTableLink)              \
  X(FruStateTableSysRam)            \
  X(FruStateTableVirtual)           \
  X(I2cHwaInterfaceLink)            \
  X(IdProvider)                     \
  X(IoMuxConfigurator)              \
  X(IoMuxGroupDataCfamS)            \
  X(IoMuxGroupDataKtr1)             \
  X(IoMuxHwaInterfaceLink)          \
  X(OscCardSet)                     \
  X(OscControl)                     \
  X(OscControlGroup)                \
  X(OscControlUnit)                 \
  X(OscillatorStatusHandler)        \
  X(OutputControlHwrDioGroupSingleDevice) \
  X(PldHwdCfam)                     \
  X(PldHwdData)                     \
  X(PldHwdInterfaceLink)            \
  X(PldHwr)                         \
  X(PllErrorMonitor)                \
  X(PllHwdInterfaceLink)            \
  X(PllPatternAccessDeviceBased)    \
  X(PllSpeedAccessPatternBased)     \
  X(PlugDetectHwrIp)                \
  X(PowerControl)                   \
  X(PowerSequence)                  \
  X(PowerStep)                      \
  X(RamHwdInterfaceLink)            \
  X(RedundantStateTable)            \
  X(ScratchpadHwaInterfaceLink)     \
  X(Signal)                         \
  X(Slot)                           \
  X(SoftSwitch)                     \
  X(SpeedPatternConverter)

#define KAV_DECLARE_FACTORY(C) extern "C" BuildBase* create##C(void* argument, BaseErrorData& rc);
KAV_TREE_FACTORIES(KAV_DECLARE_FACTORY)
#undef KAV_DECLARE_FACTORY

namespace {

struct FactoryEntry {
  const char* name;
  TreeFactory_t factory;
};

#define KAV_FACTORY_ENTRY(C) {"create" #C, &create##C},
const FactoryEntry kFactories[] = {KAV_TREE_FACTORIES(KAV_FACTORY_ENTRY)};
#undef KAV_FACTORY_ENTRY

// Factories registered at run time.
std::mutex& extraLock() {
  static std::mutex lock;
  return lock;
}
std::map<kavstl::string, TreeFactory_t>& extraFactories() {
  static std::map<kavstl::string, TreeFactory_t> factories;
  return factories;
}

TreeFactory_t findListed(const kavstl::string& function) {
  for (const FactoryEntry& e : kFactories)
    if (function == e.name) return e.factory;
  return nullptr;
}

}  // namespace

TreeFactory_t findTreeFactory(const kavstl::string& function) {
  TreeFactory_t listed = findListed(function);
  if (listed != nullptr) return listed;
  std::lock_guard<std::mutex> guard(extraLock());
  auto it = extraFactories().find(function);
  return it != extraFactories().end() ? it->second : nullptr;
}

bool registerTreeFactory(const kavstl::string& function, TreeFactory_t factory) {
  if (factory == nullptr || findListed(function) != nullptr) {
    KAV_TRACE_STR(KAVE, "registerTreeFactory %s refused", function);
    return false;
  }
  std::lock_guard<std::mutex> guard(extraLock());
  bool added = extraFactories().emplace(function, factory).second;
  if (!added) KAV_TRACE_STR(KAVE, "registerTreeFactory %s already registered", function);
  return added;
}

void unregisterTreeFactory(const kavstl::string& function) {
  std::lock_guard<std::mutex> guard(extraLock());
  extraFactories().erase(function);
}

kavstl::vector<kavstl::string> getTreeFactoryNames() {
  kavstl::vector<kavstl::string> names;
  for (const FactoryEntry& e : kFactories) names.push_back(e.name);
  {
    std::lock_guard<std::mutex> guard(extraLock());
    for (const auto& e : extraFactories()) names.push_back(e.first);
  }
  std::sort(names.begin(), names.end());
  return names;
}
