#include "kav/hwaccess/i2c/i2c_access.h"

#include "kav/hwaccess/i2c/I2cHwaInterface.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/objects/TreeSearch.h"
#include "kav/tree/search/InstanceNameCriteria.h"

namespace {

const unsigned int kNoEngine = 0x7013u;
// The raw access always takes the CFAM's first I2C engine.
const unsigned int kLogicalEngineId = 0;

KavPtr<I2cHwaInterface> findEngine(unsigned int slotId, unsigned int hwaId, unsigned int address) {
  const unsigned int name = get_engine_instance_name_id(kav::sid::ENGINE_TYPE_I2C, hwaId, kLogicalEngineId);
  KavPtr<I2cHwaInterface> engine;
  unsigned int count = 0;
  KavPtr<Container> container = ContainerList::getContainer(slotId);
  if (container != nullptr) {
    ExecList<I2cHwaInterface> engines =
        collectClasstypeInSubTree<I2cHwaInterface>(KavPtr<const QueryBase>(container), true);
    engines.keepAllForCriteria(InstanceNameCriteria(name));
    count = engines.elementCount();
    engine = engines.getSingleton(true);
  }
  if (engine == nullptr)
    KAV_TRACE_STR(KAVE, "kav::i2c no engine %s hwa=%u addr=0x%02X slot=0x%08X count=%u", get_string_by_id(name),
                  hwaId, address, slotId, count);
  return engine;
}

// The engine's transfer with the raw description; a failure is traced with
// length, offset and code.
template <class Transfer>
unsigned int rawTransfer(const char* what, unsigned int slotId, unsigned int hwaId, unsigned int port,
                         unsigned int address, unsigned int offset, const unsigned int& len, Transfer transfer) {
  KavPtr<I2cHwaInterface> engine = findEngine(slotId, hwaId, address);
  if (engine == nullptr) return kNoEngine;
  const unsigned int rc = transfer(*engine, to_i2cInfo_t(port, address)).getRc();
  if (rc != 0) KAV_TRACE_STR(KAVE, "kav::%s slot=0x%08X len=%u offset=0x%X rc=0x%08X", what, slotId, len, offset, rc);
  return rc;
}

}  // namespace

i2c::i2cInfo_s to_i2cInfo_t(unsigned int port, unsigned int address) {
  i2c::i2cInfo_s info;
  info.transferMode = 1;
  info.port = port;
  info.deviceAddress = address;
  info.speed = 100000;
  info.offsetWidth = 1;
  info.pageSelect = 0;
  info.writeDelay = 0;
  info.writeSplit = 0;
  info.timeout = 100;
  info.writeRetryDelay = 0;
  info.writeRetryCount = 0;
  return info;
}

namespace kav {

unsigned int i2c_write(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                       unsigned int offset, const unsigned char* data, unsigned int len) {
  return rawTransfer("i2c_write", slotId, hwaId, port, address, offset, len,
                     [&](const I2cHwaInterface& engine, const i2c::i2cInfo_s& info) {
                       return engine.write(info, offset, data, len);
                     });
}

unsigned int i2c_read(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                      unsigned int offset, unsigned char* data, unsigned int& len) {
  return rawTransfer("i2c_read", slotId, hwaId, port, address, offset, len,
                     [&](const I2cHwaInterface& engine, const i2c::i2cInfo_s& info) {
                       return engine.read(info, offset, data, len);
                     });
}

unsigned int i2c_resetIrq(unsigned int slotId, unsigned int hwaId, unsigned int port, unsigned int address,
                          unsigned int offset, const unsigned char* data, unsigned int len) {
  return rawTransfer("i2c_resetIrq", slotId, hwaId, port, address, offset, len,
                     [&](const I2cHwaInterface& engine, const i2c::i2cInfo_s& info) {
                       return engine.resetIrq(info, offset, data, len);
                     });
}

}  // namespace kav
