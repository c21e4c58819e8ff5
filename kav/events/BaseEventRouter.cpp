#include "kav/events/BaseEventRouter.h"

#include <cstring>

BaseEventRouter::BaseEventRouter() = default;

BaseEventRouter::~BaseEventRouter() = default;

long BaseEventRouter::receiveEVData(const unsigned char* data, long size, long id, long /*timeout*/) {
  if (id >= 0) {
    createEvent(data, id);
  } else if (data != nullptr && size >= static_cast<long>(sizeof(GoingAwayRecord))) {
    GoingAwayRecord record;
    std::memcpy(&record, data, sizeof(record));
    notify(record.source);
  }
  return 0;
}
