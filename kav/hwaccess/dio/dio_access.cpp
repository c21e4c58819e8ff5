#include "kav/hwaccess/dio/dio_access.h"

#include "kav/hwaccess/dio/DioHwaInterface.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/search/InstanceNameCriteria.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"

namespace {

const unsigned int kNoEngine = 0x7013u;

KavPtr<DioHwaInterface> findEngine(unsigned int slotId, unsigned int hwaId, unsigned int engineId) {
  KavPtr<Container> container = ContainerList::getContainer(slotId);
  if (container == nullptr) {
    KAV_TRACE(KAVE, "kav::dio no container slot=0x%08X", slotId);
    return KavPtr<DioHwaInterface>();
  }
  ExecList<DioHwaInterface> engines = collectClasstypeInSubTree<DioHwaInterface>(KavPtr<const QueryBase>(container), true);
  engines.keepAllForCriteria(
      InstanceNameCriteria(get_engine_instance_name_id(kav::sid::ENGINE_TYPE_DIO, hwaId, engineId)));
  KavPtr<DioHwaInterface> engine = engines.getSingleton(true);
  if (engine == nullptr)
    KAV_TRACE(KAVE, "kav::dio no engine slot=0x%08X hwa=%u engine=%u count=%u", slotId, hwaId, engineId,
              engines.elementCount());
  return engine;
}

}  // namespace

namespace kav {

unsigned int dio_writeLevel(unsigned int slotId, unsigned int hwaId, unsigned int engineId, unsigned int mask,
                            unsigned int value) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  ErrorData err = engine->writeLevel(mask, value);
  KAV_TRACE(KAVT, "kav::dio_writeLevel slot=0x%08X mask=0x%08X value=0x%08X rc=0x%08X", slotId, mask, value,
            err.getRc());
  return err.getRc();
}

unsigned int dio_readLevel(unsigned int slotId, unsigned int hwaId, unsigned int engineId, unsigned int& value) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  ErrorData err = engine->readLevel(value);
  KAV_TRACE(KAVT, "kav::dio_readLevel slot=0x%08X value=0x%08X rc=0x%08X", slotId, value, err.getRc());
  return err.getRc();
}

unsigned int dio_pldSetConfig(unsigned int slotId, unsigned int hwaId, unsigned int engineId, unsigned int pldId,
                              unsigned int config) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  return engine->pldSetConfig(pldId, config).getRc();
}

unsigned int dio_pldGetConfig(unsigned int slotId, unsigned int hwaId, unsigned int engineId, unsigned int pldId,
                              unsigned int& config) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  return engine->pldGetConfig(pldId, config).getRc();
}

unsigned int dio_pldSetTableControl(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                    unsigned int tableId, unsigned int control) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  const unsigned int passed = (control >= 1 && control <= 3) ? control : 0u;
  return engine->pldWriteLookupTableControl(tableId, static_cast<kavPld::LookupControl_t>(passed)).getRc();
}

unsigned int dio_pldGetTableControl(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                    unsigned int tableId, unsigned int& control) {
  KavPtr<DioHwaInterface> engine = findEngine(slotId, hwaId, engineId);
  if (engine == nullptr) return kNoEngine;
  kavPld::LookupControl_t value = kavPld::LOOKUP_CONTROL_1;
  ErrorData err = engine->pldReadLookupTableControl(tableId, value);
  if (err == 0) control = static_cast<unsigned int>(value);
  return err.getRc();
}

}  // namespace kav
