#include "kav/tree/start/BsIdentity.h"

unsigned int bs_get_local_cageid() { return 0; }
unsigned int bs_get_local_nodeid() { return 0; }
unsigned int bs_get_own_pih() { return 10; }

unsigned int bs_get_local_cage_id() { return 1; }
unsigned int bs_get_local_node_id() { return 1; }
unsigned int bs_get_local_side() { return 0; }
