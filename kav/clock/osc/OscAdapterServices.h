// The firmware adapter's clock services as the clock objects reach them:
// clearing, restoring and pulsing the processor chips' clock-select bits
// around an oscillator switch, and collecting clock debug data. The adapter
// registers its operations when the library is loaded; the clock objects
// never call the adapter themselves. An operation nobody registered does
// nothing (a test program registers its own recorders).
#ifndef KAV_CLOCK_OSCADAPTERSERVICES_H
#define KAV_CLOCK_OSCADAPTERSERVICES_H

#include "kav/tree/objects/KavExport.h"

class KAV_EXPORT OscAdapterServices {
 public:
  typedef void (*ClockBitOperation_t)();
  typedef void (*DebugCollector_t)(int mode);

  struct Operations_t {
    ClockBitOperation_t clearClockBit;
    ClockBitOperation_t setClockBit;
    ClockBitOperation_t toggleClockBit;
    DebugCollector_t collectDebugInfo;
  };

  // Replaces the registered operations; returns those there were.
  static Operations_t registerOperations(const Operations_t& operations);
  static Operations_t getOperations();

  static void clearClockBit();
  static void setClockBit();
  static void toggleClockBit();
  static void collectDebugInfo(int mode);
};

#endif
