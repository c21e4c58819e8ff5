#include "kav/hwaccess/edal/EdalStatus.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/config/StringToId.h"

void setFsiHwaErrorData(ErrorData& err, const std::string& text, const std::string& primaryKey,
                        const std::string& secondaryKey, unsigned int slotId, const char* enginePath,
                        const std::string& msg) {
  err << kavstl::string(text);
  if (enginePath != nullptr) err << kavstl::string(enginePath);
  err << kavstl::string(msg);
  err.setKeys(get_id_by_string(kavstl::string(primaryKey)), get_id_by_string(kavstl::string(secondaryKey)));
  err.addSlotId(slotId);
  KAV_TRACE_STR(KAVE, "setFsiHwaErrorData %s rc=0x%08X slot=0x%08X", primaryKey, err.getRc(), slotId);
}
