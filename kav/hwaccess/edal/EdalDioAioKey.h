// The record attached to each submitted digital-input interrupt request. It
// travels through the library as the request's key and comes back with the
// completed control block.
#ifndef KAV_HWACCESS_EDALDIOAIOKEY_H
#define KAV_HWACCESS_EDALDIOAIOKEY_H

#include <cstdint>

class EdalDioHandle;

const uint32_t EDAL_AIOKEY_STATE_LIVE = 0x81729D10u;
const uint32_t EDAL_AIOKEY_STATE_DISABLED = 0x09378D10u;
const uint32_t EDAL_AIOKEY_MARKER = 0x23091967u;

struct EdalDioAioKey {
  uint32_t pin;
  EdalDioHandle* pHandle;
  uint32_t irqId;
  uint32_t levelMask;  // (0x80000000 >> pin) & polarity
  uint32_t threadId;   // the submitter
  uint32_t state;      // EDAL_AIOKEY_STATE_LIVE or EDAL_AIOKEY_STATE_DISABLED
  uint32_t marker;     // EDAL_AIOKEY_MARKER while allocated
  uint32_t checksum;
};

// pin ^ irqId ^ levelMask ^ threadId ^ the record's own address.
uint32_t EdalDioAioKey_compute_checksum(const EdalDioAioKey* key);
void EdalDioAioKey_create_checksum(EdalDioAioKey* key);
// Recomputes the checksum; a mismatch means corrupted memory: every word is
// traced and the process ends.
void EdalDioAioKey_check_checksum(const EdalDioAioKey* key);
void EdalDioAioKey_trace(const EdalDioAioKey* key);

#endif
