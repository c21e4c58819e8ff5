// The time scale of this process: a host setting that shortens the delays
// the library waits through by design, so that tests and the simulated
// service processor need not sit through them.
//
//   QUIB_TIME_SCALE=0.1    every delay below takes a tenth of its time
//
// The value is a decimal factor greater than 0 and at most 1 (up to six
// decimals; further digits are ignored). Unset, empty or invalid means 1:
// real time, exactly the delays of the design (an invalid value is traced to
// KAVE). It is read once, at the first delay asked for, and holds for the
// rest of the process.
//
// Every delay of the design goes through delayMs() where it is chosen or
// passed on: job delays (card builds 2000 ms after a plug, status-report
// jobs, debounce and error-monitor delays, the periodic synch-lost check),
// the waits and pauses of the end of the initial configuration, and the
// fixed waits of hardware sequences (KavWait: mode switches, steering and
// spreading steps, pauses between I2C retries; power-step delays). A delay of 0 stays 0; any other is never
// shortened below 1 ms.
//
// What does not scale, because it guards against work that does not get
// faster: watchdog log and abend times (time-out registrations, job abend
// times, scope watchdog limits -- shortened, a slow machine would abend or
// report overruns), I2C and other device time-outs and write delays (the
// hardware's, modelled in real time by the simulator), time-outs a caller
// passes in (waited event sends, wait_config_complete), socket time-outs and
// the garbage collector's period (housekeeping that changes nothing seen
// from outside).
#ifndef KAV_RUNTIME_TIMESCALE_H
#define KAV_RUNTIME_TIMESCALE_H

#include <string>

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT TimeScale {
 public:
  // The environment variable read.
  static constexpr const char* kVariable = "QUIB_TIME_SCALE";
  // Factors are kept in millionths; this is 1, real time.
  static constexpr unsigned int kRealTime = 1000000u;

  // The factor of this process, in millionths.
  static unsigned int factor();
  // `ms` at this process's factor.
  static unsigned int delayMs(unsigned int ms);

  // `ms` at `factor` (millionths): rounded to the nearest millisecond, at
  // least 1 unless `ms` is 0; a factor of 0 or above kRealTime counts as
  // real time.
  static unsigned int scale(unsigned int ms, unsigned int factor);
  // Reads a factor ("0.1", "1", ".25"); false, and `factor` unchanged, when
  // the text is not a decimal number greater than 0 and at most 1.
  static bool parse(const char* text, unsigned int& factor);
  // The factor as a decimal ("0.1", "1").
  static std::string toString(unsigned int factor);
};

#endif
