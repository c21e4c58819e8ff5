// Raw access to a GPIO engine for callers outside the library. The engine is
// named by the slot of its container, the hardware-access id of its CFAM and
// its logical engine id. Masks and values are in engine numbering (bit 31 is
// pin 0). Each function returns the code of the result, 0 on success; 0x7013
// when there is no such engine.
#ifndef KAV_HWACCESS_DIO_ACCESS_H
#define KAV_HWACCESS_DIO_ACCESS_H

#include "kav/tree/objects/KavExport.h"

namespace kav {

KAV_EXPORT unsigned int dio_writeLevel(unsigned int slotId, unsigned int hwaId, unsigned int engineId, unsigned int mask,
                                       unsigned int value);
KAV_EXPORT unsigned int dio_readLevel(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                      unsigned int& value);
KAV_EXPORT unsigned int dio_pldSetConfig(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                         unsigned int pldId, unsigned int config);
KAV_EXPORT unsigned int dio_pldGetConfig(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                         unsigned int pldId, unsigned int& config);
// Controls 1..3; any other value is rejected by the engine (0x7035).
KAV_EXPORT unsigned int dio_pldSetTableControl(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                               unsigned int tableId, unsigned int control);
KAV_EXPORT unsigned int dio_pldGetTableControl(unsigned int slotId, unsigned int hwaId, unsigned int engineId,
                                               unsigned int tableId, unsigned int& control);

}  // namespace kav

#endif
