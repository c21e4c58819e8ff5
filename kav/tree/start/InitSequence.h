// The numbered life-cycle steps of every tree class: init(initSequence::Id_t)
// and terminate(terminateSequence::Id_t) act at fixed steps; all other steps
// do nothing and return 0.
#ifndef KAV_TREE_INITSEQUENCE_H
#define KAV_TREE_INITSEQUENCE_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

namespace initSequence {
enum Id_t : unsigned int {
  INIT_OPEN_ENGINES = 0,
  INIT_WAIT_PENDING_PLUGS = 1,
  INIT_UNUSED_2 = 2,
  INIT_LINK_TREE_ELEMENTS = 3,
  INIT_VARIABLES = 4,
  INIT_WRITE_HWA_CONFIG = 5,
  INIT_CONFIG_DIO = 6,
  INIT_REGISTER_EVENTS = 7,
  INIT_FRU_DONE = 8,
  INIT_POWER_STATE = 9,
  INIT_DEACTIVATED_HW = 10,
  INIT_ACTIVATED_HW = 11,
  INIT_ENABLE_INTERRUPTS = 12,
  INIT_DISABLE_INTERRUPTS = 13,
  INIT_SET_PLD = 14,
  INIT_REMOVE_ID_PROVIDERS = 15,
  INIT_ENABLE_PLUG_EVENTS = 16
};
}  // namespace initSequence

namespace terminateSequence {
enum Id_t : unsigned int {
  TERM_STOP = 0,
  TERM_MARK_DELETED = 1,
  TERM_DEREGISTER_EVENTS = 2,
  TERM_DISCONNECT = 3,
  TERM_CLOSE_ENGINES = 4,
  TERM_UNLINK_TREE_ELEMENTS = 5,
  TERM_DETACH = 6
};
}  // namespace terminateSequence

// The initialisation steps of a card (FRU): 0, 1, 3, 4, 6, 7, 9, 14, 8.
kavstl::vector<initSequence::Id_t> get_fru_init_steps();
// The steps run only for an activated card (11, 12) or a deactivated one (13, 10).
kavstl::vector<initSequence::Id_t> get_fru_activated_only_init_steps();
kavstl::vector<initSequence::Id_t> get_fru_deactivated_only_init_steps();
// The termination steps of a card: 1, 2, 3, 4, 5, 6.
kavstl::vector<terminateSequence::Id_t> get_fru_terminate_steps();

#endif
