#include "quib/ClockSelectBits.h"

#include <mutex>

#include "fw/CfamAccess.h"
#include "fw/ErrorLog.h"
#include "fw/Targeting.h"
#include "kav/runtime/KavTrace.h"

namespace QUIB {

namespace {

// Reads the register of every functional processor chip under its lock and
// hands chip and value to `change`, which writes. A failed read is traced
// with the value and the chip, its log deleted, and the walk goes on.
template <class Change>
void forEachChip(const char* what, Change change) {
  for (fw::Target* chip : fw::Targeting::chips(fw::kTypeProcessor, fw::Targeting::Functional)) {
    std::lock_guard<std::mutex> g(chip->lock());
    uint32_t value = 0;
    fw::ErrorLog* log = fw::CfamAccess::read(*chip, ClockSelectBits::kRegister, value);
    if (log != nullptr) {
      KAV_TRACE_STR(QBER, "%s: read of CFAM 0x2812 failed value=0x%08X chip=0x%08X", what, value, chip->id());
      fw::ErrorLog::deleteLog(log);
      continue;
    }
    change(*chip, value);
  }
}

// Writes the register; false (traced, log deleted) when that failed.
bool write(const char* what, const fw::Target& chip, uint32_t value) {
  fw::ErrorLog* log = fw::CfamAccess::write(chip, ClockSelectBits::kRegister, value);
  if (log == nullptr) return true;
  KAV_TRACE_STR(QBER, "%s: write of CFAM 0x2812 failed value=0x%08X chip=0x%08X", what, value, chip.id());
  fw::ErrorLog::deleteLog(log);
  return false;
}

}  // namespace

ClockSelectBits& ClockSelectBits::instance() {
  static ClockSelectBits bits;
  return bits;
}

void ClockSelectBits::clear() {
  KAV_TRACE(QBIN, "clearClockBit");
  forEachChip("clearClockBit", [this](const fw::Target& chip, uint32_t value) {
    const uint32_t bits = value & kSelectMask;
    {
      std::lock_guard<std::mutex> g(m_mutex);
      auto it = m_bits.find(chip.id());
      if (it != m_bits.end() && bits == 0) {
        KAV_TRACE(QBIN, "clearClockBit: chip=0x%08X clear already, keeps 0x%08X", chip.id(), it->second);
      } else {
        m_bits[chip.id()] = bits;
      }
    }
    write("clearClockBit", chip, value & ~kSelectMask);
  });
}

void ClockSelectBits::set() {
  KAV_TRACE(QBIN, "setClockBit");
  forEachChip("setClockBit", [this](const fw::Target& chip, uint32_t value) {
    uint32_t bits = 0;
    bool found = false;
    {
      std::lock_guard<std::mutex> g(m_mutex);
      auto it = m_bits.find(chip.id());
      if (it != m_bits.end()) {
        bits = it->second;
        found = true;
        m_bits.erase(it);
      }
    }
    if (!found) KAV_TRACE(QBIN, "setClockBit: nothing remembered value=0x%08X chip=0x%08X", value, chip.id());
    if (write("setClockBit", chip, (value & ~kSelectMask) | bits) || !found) return;
    // Not written: the bits stay remembered for the next set.
    std::lock_guard<std::mutex> g(m_mutex);
    m_bits.emplace(chip.id(), bits);
  });
}

void ClockSelectBits::toggle() {
  KAV_TRACE(QBIN, "toggleClockBit");
  forEachChip("toggleClockBit", [](const fw::Target& chip, uint32_t value) {
    if (write("toggleClockBit", chip, value | kPulseBit)) write("toggleClockBit", chip, value & ~kPulseBit);
  });
}

bool ClockSelectBits::remembered(uint32_t chipId, uint32_t& bits) const {
  std::lock_guard<std::mutex> g(m_mutex);
  auto it = m_bits.find(chipId);
  if (it == m_bits.end()) return false;
  bits = it->second;
  return true;
}

size_t ClockSelectBits::rememberedCount() const {
  std::lock_guard<std::mutex> g(m_mutex);
  return m_bits.size();
}

void ClockSelectBits::forget() {
  std::lock_guard<std::mutex> g(m_mutex);
  m_bits.clear();
}

void clearClockBit() { ClockSelectBits::instance().clear(); }

void setClockBit() { ClockSelectBits::instance().set(); }

void toggleClockBit() { ClockSelectBits::instance().toggle(); }

}  // namespace QUIB
