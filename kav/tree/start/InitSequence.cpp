#include "kav/tree/start/InitSequence.h"

using namespace initSequence;
using namespace terminateSequence;

kavstl::vector<initSequence::Id_t> get_fru_init_steps() {
  return kavstl::vector<initSequence::Id_t>{INIT_OPEN_ENGINES,      INIT_WAIT_PENDING_PLUGS, INIT_LINK_TREE_ELEMENTS,
                                            INIT_VARIABLES,         INIT_CONFIG_DIO,         INIT_REGISTER_EVENTS,
                                            INIT_POWER_STATE,       INIT_SET_PLD,            INIT_FRU_DONE};
}

kavstl::vector<initSequence::Id_t> get_fru_activated_only_init_steps() {
  return kavstl::vector<initSequence::Id_t>{INIT_ACTIVATED_HW, INIT_ENABLE_INTERRUPTS};
}

kavstl::vector<initSequence::Id_t> get_fru_deactivated_only_init_steps() {
  return kavstl::vector<initSequence::Id_t>{INIT_DISABLE_INTERRUPTS, INIT_DEACTIVATED_HW};
}

kavstl::vector<terminateSequence::Id_t> get_fru_terminate_steps() {
  return kavstl::vector<terminateSequence::Id_t>{TERM_MARK_DELETED, TERM_DEREGISTER_EVENTS,    TERM_DISCONNECT,
                                                 TERM_CLOSE_ENGINES, TERM_UNLINK_TREE_ELEMENTS, TERM_DETACH};
}
