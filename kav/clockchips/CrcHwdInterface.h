// A clock-redundancy chip: selects one of three reference clock inputs,
// checks their frequencies, switches between them and drives a set of clock
// outputs. The interface of its drivers; the numbers of the enumerations are
// those of the hardware description and stay fixed.
#ifndef KAV_CLOCKCHIPS_CRCHWDINTERFACE_H
#define KAV_CLOCKCHIPS_CRCHWDINTERFACE_H

#include <string>

#include "kav/cards/PowerControllable.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT CrcHwdInterface : public PowerControllable {
  KAV_TREE_CLASS(CrcHwdInterface)

 public:
  enum bandwidth_t : unsigned int { BANDWIDTH_1 = 1, BANDWIDTH_2 = 2 };
  enum mode_t : unsigned int { MODE_1 = 1, MODE_2 = 2 };
  enum inputSelect_t : unsigned int { INPUT_1 = 1, INPUT_2 = 2, INPUT_3 = 3 };
  // The chip's error flags. Types 1, 2, 3 and 5, 6, 7 belong to inputs 1, 2,
  // 3; types 0 and 4 to the chip itself.
  enum CrcErrorType_t : unsigned int {
    CRC_ERROR_0 = 0,
    CRC_ERROR_1 = 1,
    CRC_ERROR_2 = 2,
    CRC_ERROR_3 = 3,
    CRC_ERROR_4 = 4,
    CRC_ERROR_5 = 5,
    CRC_ERROR_6 = 6,
    CRC_ERROR_7 = 7,
    CRC_ERROR_8 = 8,
    CRC_ERROR_9 = 9
  };

  ~CrcHwdInterface() override;

  virtual ErrorData writeDividerPattern(unsigned int pattern) = 0;
  virtual ErrorData readDividerPattern(unsigned int& pattern) = 0;
  virtual ErrorData writeBandWidth(bandwidth_t bandwidth) = 0;
  virtual ErrorData readBandWidth(bandwidth_t& bandwidth) = 0;
  virtual ErrorData enableInterrupt() = 0;
  virtual ErrorData disableInterrupt() = 0;
  virtual ErrorData isInterruptEnabled(bool& enabled) = 0;
  // Outputs 0..N-1 (N = getNumOfOutputControls()): the bits of mask are set
  // to those of value, the others stay.
  virtual ErrorData writeOutputControl(unsigned int value, unsigned int mask) = 0;
  virtual ErrorData readOutputControl(unsigned int& value) = 0;
  virtual unsigned int getNumOfOutputControls() = 0;
  virtual ErrorData selectInputClock(mode_t mode, inputSelect_t input) = 0;
  // The mode written and the input the chip has actually selected.
  virtual ErrorData readSelectInputClock(mode_t& mode, inputSelect_t& input) = 0;
  // Inputs 1..3 as bits 0..2 (1 = enabled).
  virtual ErrorData writeInputEnable(unsigned int value, unsigned int mask) = 0;
  virtual ErrorData readInputEnable(unsigned int& value) = 0;
  virtual ErrorData enableSpreadingSupport() = 0;
  virtual ErrorData disableSpreadingSupport() = 0;
  virtual ErrorData isSpreadingSupportEnabled(bool& enabled) = 0;
  virtual ErrorData enableFrequencyCheck() = 0;
  virtual ErrorData disableFrequencyCheck() = 0;
  virtual ErrorData isFrequencyCheckEnabled(bool& enabled) = 0;
  virtual ErrorData readFrequencyCheckValues(unsigned int& a, unsigned int& b) = 0;
  virtual ErrorData writeFrequencyCheckValues(unsigned int a, unsigned int b) = 0;
  virtual ErrorData readErrorFlags(kavstl::set<CrcErrorType_t>& flags) = 0;
  virtual ErrorData resetAllErrorFlags() = 0;
  // The chip's registers from the first one; length: the buffer's size in,
  // the bytes read out.
  virtual ErrorData getRegister(unsigned char* buffer, unsigned int& length) = 0;
  virtual std::string registerDumpAsString() = 0;

 protected:
  CrcHwdInterface();
};

#endif
