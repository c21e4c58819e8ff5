#include "kav/tree/errors/DeviceErrorLog.h"

#include "kav/tree/objects/QueryBase.h"

bool logDeviceErrorOnce(ErrorData& err, bool& logged, const kavstl::string& text, unsigned int slotId,
                        const KavPtr<const QueryBase>& owner) {
  if (err == 0) return false;
  unsigned int primaryKey = 0;
  unsigned int secondaryKey = 0;
  err.getKeys(primaryKey, secondaryKey);
  // Device access errors carry the keys that select their SRC; the SRC
  // itself is looked up when they are logged.
  if (!err.isSrcDefined() && primaryKey == 0) return false;
  if (logged) {
    err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
    return false;
  }
  logged = true;
  err << text.c_str();
  err.addSlotId(slotId);
  err.logSynchron(kavstl::string(), kavstl::string(), owner, owner);
  return true;
}
