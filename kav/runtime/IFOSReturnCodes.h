// Result codes of the IFOS classes and their mapping from the scf_os_ codes.
#ifndef KAV_RUNTIME_IFOSRETURNCODES_H
#define KAV_RUNTIME_IFOSRETURNCODES_H

const unsigned long IFOS_RC_OK = 0;
const unsigned long IFOS_RC_NO_OBJECT = 1;  // the OS object could not be created
const unsigned long IFOS_RC_MUTEX_TIMEOUT = 1000;
const unsigned long IFOS_RC_EVENT_TIMEOUT = 2000;
const unsigned long IFOS_RC_INVALID = 9998;
const unsigned long IFOS_RC_FAILED = 9999;

// 0 stays 0; 36905 -> 1000; 36922 -> 2000; 36902, 36917, 36962 -> 9998;
// everything else -> 9999.
unsigned long ifosrc_convert_scf_rc(int scfRc);

#endif
