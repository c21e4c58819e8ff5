// Shared pieces of the clock-redundancy chip's tests and benchmark: the
// configuration element of a chip driver.
#ifndef TESTS_CLOCKCHIPS_CRCTESTSUPPORT_H
#define TESTS_CLOCKCHIPS_CRCTESTSUPPORT_H

#include <string>

#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "tests/cards/CardsTestSupport.h"

namespace crctest {

// A CrcHwdIcs872Sxx element: slave-address transfers on `port` at 0xB0,
// 100 kHz, no retries, the given number of output controls and supply.
inline BinaryReaderNode* chipElement(const char* port, const char* outputs, const char* supply) {
  auto text = [](unsigned int id) { return get_string_by_id(id); };
  return cardstest::element("CrcHwdIcs872Sxx", {{text(kav::sid::INSTANCE_NAME), "CrcTestChip"},
                                                {text(kav::sid::I2C_TRANSFER_MODE), "I2C_SLAVE_ADDRESS"},
                                                {text(kav::sid::I2C_BUS_NO), port},
                                                {text(kav::sid::I2C_DEVICE_ADDRESS), "0xB0"},
                                                {text(kav::sid::I2C_TRANSFER_SPEED), "100000"},
                                                {text(kav::sid::I2C_TIMEOUT), "100"},
                                                {text(kav::sid::I2C_OFFSET_BYTES), "1"},
                                                {text(kav::sid::I2C_PAGE_SELECT), "0"},
                                                {text(kav::sid::I2C_WRITE_SPLIT), "0"},
                                                {text(kav::sid::I2C_WRITE_DELAY), "0"},
                                                {text(kav::sid::I2C_WRITE_RETRY_DELAY), "0"},
                                                {text(kav::sid::I2C_WRITE_RETRY_COUNT), "0"},
                                                {text(kav::sid::I2C_READ_RETRIES), "0"},
                                                {text(kav::sid::I2C_WRITE_RETRIES), "0"},
                                                {text(kav::sid::DELAY_MS), "0"},
                                                {text(kav::sid::DEVICE_SUPPLY), supply},
                                                {text(kav::sid::NUM_OUTPUT_CONTROLS), outputs}});
}

}  // namespace crctest

#endif
