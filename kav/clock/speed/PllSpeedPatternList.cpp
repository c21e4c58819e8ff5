#include "kav/clock/speed/PllSpeedPatternList.h"

#include <cstdint>

PllSpeedPatternList::PllSpeedPatternList() {}

PllSpeedPatternList::~PllSpeedPatternList() {}

void PllSpeedPatternList::addPllSpeedPattern(const PllSpeedPattern& pattern) { m_patterns.push_back(pattern); }

unsigned int PllSpeedPatternList::elementCount() const { return static_cast<unsigned int>(m_patterns.size()); }

PllSpeedPattern PllSpeedPatternList::getElement(unsigned int index) const {
  return index < m_patterns.size() ? m_patterns[index] : PllSpeedPattern();
}

void PllSpeedPatternList::clear() { m_patterns.clear(); }

PllSpeedPatternList PllSpeedPatternList::getPllSpeedPatternListContainingCycleTime(unsigned int cycleTimePs) const {
  PllSpeedPatternList out;
  for (const PllSpeedPattern& p : m_patterns)
    if (p.getMinimalOutputCyletimeInPicoSeconds() <= cycleTimePs &&
        cycleTimePs <= p.getMaximalOutputCyletimeInPicoSeconds())
      out.addPllSpeedPattern(p);
  return out;
}

PllSpeedPattern PllSpeedPatternList::getPllSpeedPattern(unsigned int bits, unsigned int mask) const {
  for (const PllSpeedPattern& p : m_patterns)
    if (((p.getPllPattern() ^ bits) & mask) == 0) return p;
  return PllSpeedPattern();
}

PllSpeedPattern PllSpeedPatternList::getFirstMatchingRange() const {
  return m_patterns.empty() ? PllSpeedPattern() : m_patterns.front();
}

PllSpeedPattern PllSpeedPatternList::getForSameRange(const PllSpeedPattern& pattern) const {
  for (const PllSpeedPattern& p : m_patterns)
    if (p.isSameRange(pattern)) return p;
  return PllSpeedPattern();
}

unsigned int PllSpeedPatternList::bestMatchScore(const PllSpeedPattern& pattern, const PllSpeedPattern& candidate) {
  // In 64 bits: the Part's 32-bit (width - outside) x 1000 passes 2^32 for
  // a window wider than 4.29 GHz. Where it does not, the score is the same.
  const uint64_t pMin = pattern.getMinimalOutputFrequencyInKhz();
  const uint64_t pMax = pattern.getMaximalOutputFrequencyInKhz();
  const uint64_t cMin = candidate.getMinimalOutputFrequencyInKhz();
  const uint64_t cMax = candidate.getMaximalOutputFrequencyInKhz();
  const uint64_t lo = pMin > cMin ? pMin : cMin;
  const uint64_t hi = pMax < cMax ? pMax : cMax;
  if (pMax <= pMin) {
    // A window of one frequency (or an inverted one) has no width to divide
    // by: a candidate holding that frequency covers all of it (1000), any
    // other none (0).
    return cMin <= pMin && pMin <= cMax ? 1000u : 0u;
  }
  const uint64_t width = pMax - pMin;
  // No overlap at all (the 32-bit form would wrap here): nothing covered.
  if (lo > hi) return 0;
  const uint64_t outside = (lo - pMin) + (pMax - hi);
  if (outside >= width) return 0;
  return static_cast<unsigned int>((width - outside) * 1000u / width);
}

PllSpeedPattern PllSpeedPatternList::getForBestMatchingRange(const PllSpeedPattern& pattern) const {
  unsigned int cycleTime = 0xFFFFFFFFu;
  if (pattern.isInit()) pattern.getOutputCyletimeInPicoSeconds(cycleTime);
  PllSpeedPattern best;
  unsigned int bestScore = 0;
  for (const PllSpeedPattern& p : m_patterns) {
    if (cycleTime < p.getMinimalOutputCyletimeInPicoSeconds() || cycleTime > p.getMaximalOutputCyletimeInPicoSeconds())
      continue;
    const unsigned int score = bestMatchScore(pattern, p);
    if (score > bestScore) {
      bestScore = score;
      best = p;
    }
  }
  return best;
}

PllSpeedPattern PllSpeedPatternList::getForLowestRange() const {
  if (m_patterns.empty()) return PllSpeedPattern();
  const PllSpeedPattern* best = &m_patterns.front();
  for (const PllSpeedPattern& p : m_patterns)
    if (p.getMinimalOutputCyletimeInPicoSeconds() > best->getMinimalOutputCyletimeInPicoSeconds()) best = &p;
  return *best;
}

PllSpeedPattern PllSpeedPatternList::getForHighestRange() const {
  if (m_patterns.empty()) return PllSpeedPattern();
  const PllSpeedPattern* best = &m_patterns.front();
  for (const PllSpeedPattern& p : m_patterns)
    if (p.getMaximalOutputCyletimeInPicoSeconds() < best->getMaximalOutputCyletimeInPicoSeconds()) best = &p;
  return *best;
}
