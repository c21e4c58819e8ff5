// An ordered list of candidate PLL patterns (copies) with the selection
// rules of the speed logic. Selections keep the list order and never change
// the list; each answers a pattern (uninitialised when nothing qualifies)
// or a new list.
#ifndef KAV_CLOCK_PLLSPEEDPATTERNLIST_H
#define KAV_CLOCK_PLLSPEEDPATTERNLIST_H

#include "kav/clock/speed/PllSpeedPattern.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT PllSpeedPatternList {
 public:
  typedef kavstl::vector<PllSpeedPattern>::const_iterator const_iterator;

  PllSpeedPatternList();
  ~PllSpeedPatternList();

  void addPllSpeedPattern(const PllSpeedPattern& pattern);
  unsigned int elementCount() const;
  // The pattern at index (uninitialised beyond the end).
  PllSpeedPattern getElement(unsigned int index) const;
  const_iterator begin() const { return m_patterns.begin(); }
  const_iterator end() const { return m_patterns.end(); }
  void clear();

  // The patterns whose minimal cycle time <= ct <= maximal cycle time.
  PllSpeedPatternList getPllSpeedPatternListContainingCycleTime(unsigned int cycleTimePs) const;
  // The first pattern whose bits equal `bits` in every bit of `mask`.
  PllSpeedPattern getPllSpeedPattern(unsigned int bits, unsigned int mask) const;
  // The first pattern.
  PllSpeedPattern getFirstMatchingRange() const;
  // The first pattern in the same range as `pattern`.
  PllSpeedPattern getForSameRange(const PllSpeedPattern& pattern) const;
  // Among the patterns whose cycle-time window holds the cycle time of
  // `pattern` (0xFFFFFFFF when uninitialised), the one whose frequency
  // window covers most of `pattern`'s: score = (width - outside) x 1000 /
  // width, where width is `pattern`'s window width and outside the part of
  // it the candidate does not cover. Only a strictly higher score than the
  // best so far (starting at 0) wins: a zero score never wins and on ties
  // the earlier pattern stays.
  // A zero-width window of `pattern` (minimum = maximum; a single
  // frequency) has no width to divide by: it scores 1000 for a candidate
  // that contains that frequency and 0 for one that does not, so the first
  // candidate holding it wins.
  PllSpeedPattern getForBestMatchingRange(const PllSpeedPattern& pattern) const;
  // From the first pattern on, the one with the greatest minimal cycle time
  // (a later one replaces only when strictly greater).
  PllSpeedPattern getForLowestRange() const;
  // From the first pattern on, the one with the smallest maximal cycle time
  // (a later one replaces only when strictly smaller).
  PllSpeedPattern getForHighestRange() const;

  // The score of getForBestMatchingRange for one candidate (0..1000).
  static unsigned int bestMatchScore(const PllSpeedPattern& pattern, const PllSpeedPattern& candidate);

 private:
  kavstl::vector<PllSpeedPattern> m_patterns;
};

#endif
