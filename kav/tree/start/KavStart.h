// The exported entry points through which the caller starts and stops the
// library, announces cards and ends the initial round of card detection, and
// the configuration-complete state it can query and wait for.
//
//   kav::start(kav::PHE_Domain, true);          // blocks until "ready"
//   kav::send_card_plug(0x10, kav::e_Plugged_Functional);
//   kav::finish_initial_config();               // blocks up to 60 s + pause
//   ...
//   kav::stop();                                // blocks until "not ready"
//
// Every int result is getRc() of the error value (bit 31: already logged).
#ifndef KAV_TREE_KAVSTART_H
#define KAV_TREE_KAVSTART_H

#include <set>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

namespace kav {

// The base domain the library runs for.
enum DomainType_t : unsigned int {
  PHE_Domain = 0,
  PMR_D1_Domain = 1,
  PMR_D2_Domain = 2,
  PIH_A_Domain = 3,
  PIH_B_Domain = 4,
  PMR_MORVEN_Domain = 5,
  Z7PMR_MORVEN_Domain = 6,
  Z7PMR_D1_Domain = 7,
  Z7PMR_D2_Domain = 8
};

// The text of a domain type ("PHE_Domain", ...); empty above 8.
KAV_EXPORT kavstl::string asString(DomainType_t domain);

// What the caller knows about a slot. Any non-zero status counts as plugged.
enum SlotStatus_t : unsigned int { e_NotPlugged = 0, e_Plugged_DoNotUse = 1, e_Plugged_Functional = 2 };

// First call: creates the services, builds the tree of the base domain and
// runs the initialisation steps over it; a later call (after stop) only
// re-enables plug events. Then plugs the base domain and waits until the
// configuration-complete state is ready. `suppressAbend` keeps overrun
// watchdogs from ending the process (they are still logged).
KAV_EXPORT int start(DomainType_t domain, bool suppressAbend);

// Stops the tree (termination step 0), unplugs the base domain, waits until
// the configuration-complete state is not ready and clears the configuration
// cache and the slot status map. The tree, services and threads stay.
KAV_EXPORT int stop();

// A card was found (status != 0) or removed (status 0) in `slotId`.
KAV_EXPORT int send_card_plug(unsigned int slotId, SlotStatus_t status);

// The first round of card detection is over: waits up to 60 s for the
// announced cards to be configured (completion is forced after that), then
// pauses. Returns 0x7007 when completion had to be forced.
KAV_EXPORT int finish_initial_config();

// The slots whose last status was e_Plugged_Functional / e_Plugged_DoNotUse.
KAV_EXPORT void getFunctionalCardSlots(std::set<unsigned int>& slots);
KAV_EXPORT void getDoNotUseCardSlots(std::set<unsigned int>& slots);

}  // namespace kav

KAV_EXPORT bool is_config_complete();
KAV_EXPORT bool is_minimum_config_complete();
// Wait up to `timeout` ms (-1: without limit): 0, 0x7007 on time-out,
// 0x700E on any other failure of the wait.
KAV_EXPORT BaseErrorData wait_config_complete(int timeout);
KAV_EXPORT BaseErrorData wait_minimum_config_complete(int timeout);

#endif
