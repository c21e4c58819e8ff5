// The firmware adapter: the layer through which the service-processor
// firmware drives the library. For now it answers the card-type and
// hardware-level queries of the cards' identity providers and owns the
// state it shares with the clock-select bits and the clock debug data.
#ifndef QUIB_QUIB_H
#define QUIB_QUIB_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "kav/tree/objects/KavExport.h"

namespace QUIB {

// 1 while the clock-card configuration is complete (clock testing and
// clock debug collection allowed); 0 at load. The adapter's configuration
// steps set and clear it; other threads read it.
extern KAV_EXPORT std::atomic<uint32_t> quib_config_been_run;

// Serialises the clock debug collection with the adapter's clock test.
extern KAV_EXPORT std::mutex g_exclusiveAccessMutex;

// The trace buffers every error-log entry of the adapter collects, in this
// order.
constexpr const char* kLogTraceBuffers[] = {"QBER", "KAVE", "QBIN", "KAVD", "KAVT", "KAVI", "KAVL"};

// The adapter's component in the platform's error log, and the commit
// action of its entries.
constexpr uint16_t kQuibComponent = 0xCC00;
constexpr uint16_t kQuibCommitAction = 0xA000;

// The card type of the card in `slotId`. Returns 0 (success); every slot
// holds card type 0x20B20001.
KAV_EXPORT unsigned int quib_getCT(unsigned int slotId, int& cardType);

// The hardware level of the card in `slotId`. Returns 0 (success); every
// card has hardware level 1.
KAV_EXPORT unsigned int quib_getHwl(unsigned int slotId, int& hardwareLevel);

}  // namespace QUIB

#endif
