// Identity of this service processor in the machine. The values are fixed.
#ifndef KAV_TREE_BSIDENTITY_H
#define KAV_TREE_BSIDENTITY_H

// Cage and node of the SRC extension words, and the PIH of the own service
// processor: 0, 0 and 10.
unsigned int bs_get_local_cageid();
unsigned int bs_get_local_nodeid();
unsigned int bs_get_own_pih();

// The one-based cage and node ids (1) and the side (0).
unsigned int bs_get_local_cage_id();
unsigned int bs_get_local_node_id();
unsigned int bs_get_local_side();

#endif
