// The log-once rule of an object that uses a device: the first error that
// names an error-log entry (an SRC, or the keys that select one) is logged
// at once with the object's text and slot id added; later ones are only
// marked logged. Other errors pass untouched.
#ifndef KAV_TREE_DEVICEERRORLOG_H
#define KAV_TREE_DEVICEERRORLOG_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"

class QueryBase;

// logged: the object's flag, set when this call logs. True when it logged.
bool logDeviceErrorOnce(ErrorData& err, bool& logged, const kavstl::string& text, unsigned int slotId,
                        const KavPtr<const QueryBase>& owner);

#endif
