// The clock-select bits of the processor chips: bits 4..7 and 14..15
// (0x0F030000, bit 0 the most significant) of each chip's CFAM register
// 0x2812. Around an oscillator switch-over the clock subsystem clears them
// on every functional processor chip and later puts back what each chip
// had; a pulse of bit 2 (0x20000000) makes the chips take a new selection.
#ifndef QUIB_CLOCKSELECTBITS_H
#define QUIB_CLOCKSELECTBITS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

#include "kav/tree/objects/KavExport.h"

namespace QUIB {

class ClockSelectBits {
 public:
  static constexpr uint32_t kRegister = 0x2812;
  static constexpr uint32_t kSelectMask = 0x0F030000;  // bits 4..7, 14..15
  static constexpr uint32_t kPulseBit = 0x20000000;    // bit 2

  // The bits of the process.
  static ClockSelectBits& instance();

  // On every functional processor chip, in the platform's order, under the
  // chip's lock: remember the chip's select bits and clear them. A chip
  // whose bits are clear already while bits are remembered for it keeps
  // those: a second clear without a set in between loses nothing.
  void clear();
  // Puts back the remembered bits (none remembered: clears them) and
  // forgets them; a failed write keeps them remembered.
  void set();
  // Writes the register with bit 2 set, then with it clear.
  void toggle();

  // The bits remembered for the chip with that identifying attribute.
  bool remembered(uint32_t chipId, uint32_t& bits) const;
  size_t rememberedCount() const;
  // Forgets every chip's bits.
  void forget();

 private:
  mutable std::mutex m_mutex;  // guards m_bits
  std::map<uint32_t, uint32_t> m_bits;
};

// The adapter's interface to the clock subsystem.
KAV_EXPORT void clearClockBit();
KAV_EXPORT void setClockBit();
KAV_EXPORT void toggleClockBit();

}  // namespace QUIB

#endif
