#include "kav/runtime/IFOSReturnCodes.h"

unsigned long ifosrc_convert_scf_rc(int scfRc) {
  switch (scfRc) {
    case 0:
      return IFOS_RC_OK;
    case 36905:
      return IFOS_RC_MUTEX_TIMEOUT;
    case 36922:
      return IFOS_RC_EVENT_TIMEOUT;
    case 36902:
    case 36917:
    case 36962:
      return IFOS_RC_INVALID;
    default:
      return IFOS_RC_FAILED;
  }
}
