// Shared pieces of the clock-redundancy chip's tests and benchmark: the
// configuration element of a chip driver.
#ifndef TESTS_CLOCKCHIPS_CRCTESTSUPPORT_H
#define TESTS_CLOCKCHIPS_CRCTESTSUPPORT_H

#include "tests/clockchips/I2cChipTestSupport.h"

namespace crctest {

// A CrcHwdIcs872Sxx element (see chiptest::chipElement) with the given
// number of output controls.
inline BinaryReaderNode* chipElement(const char* port, const char* outputs, const char* supply) {
  BinaryReaderNode* node = chiptest::chipElement("CrcHwdIcs872Sxx", "CrcTestChip", port, supply);
  node->addAttribute(get_string_by_id(kav::sid::NUM_OUTPUT_CONTROLS), outputs);
  return node;
}

}  // namespace crctest

#endif
