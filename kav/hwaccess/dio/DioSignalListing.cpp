#include "kav/hwaccess/dio/DioSignalListing.h"

#include "kav/hwaccess/dio/DioHwr.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"

namespace kav {

void listDioSignals(std::vector<DioSignalInfo>& signals) {
  signals.clear();
  ExecList<DioHwr> list = collectClasstypeInTree<DioHwr>(true);
  for (ExecList<DioHwr>::const_iterator it = list.begin(); it != list.end(); ++it) {
    KavPtr<DioHwr> hwr = *it;
    DioSignalInfo info;
    info.instanceName =
        hwr->getInstanceId() == 0 ? std::string() : std::string(get_string_by_id(hwr->getInstanceId()));
    info.slotId = hwr->getSlotId();
    info.pin = hwr->getPin();
    info.mode = hwr->getMode();
    info.polarity = hwr->getPolarity();
    dioState::DioState_t state = dioState::DIO_STATE_NONE;
    info.readRc = hwr->read(state).getRcWithoutLogFlag();
    info.state = info.readRc == 0 ? static_cast<unsigned int>(state) : 0u;
    signals.push_back(info);
  }
}

}  // namespace kav
