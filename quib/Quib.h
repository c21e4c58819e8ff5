// The firmware adapter: the layer through which the service-processor
// firmware drives the library. For now it answers the card-type and
// hardware-level queries of the cards' identity providers.
#ifndef QUIB_QUIB_H
#define QUIB_QUIB_H

#include "kav/tree/objects/KavExport.h"

namespace QUIB {

// The card type of the card in `slotId`. Returns 0 (success); every slot
// holds card type 0x20B20001.
KAV_EXPORT unsigned int quib_getCT(unsigned int slotId, int& cardType);

// The hardware level of the card in `slotId`. Returns 0 (success); every
// card has hardware level 1.
KAV_EXPORT unsigned int quib_getHwl(unsigned int slotId, int& hardwareLevel);

}  // namespace QUIB

#endif
