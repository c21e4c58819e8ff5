#include "quib/ClockServices.h"

#include "kav/clock/osc/OscAdapterServices.h"
#include "quib/ClockDebugInfo.h"
#include "quib/ClockSelectBits.h"

namespace QUIB {

void ClockServices::registerWithLibrary() {
  OscAdapterServices::Operations_t operations;
  operations.clearClockBit = &clearClockBit;
  operations.setClockBit = &setClockBit;
  operations.toggleClockBit = &toggleClockBit;
  operations.collectDebugInfo = &quib_collectDebugInfo;
  OscAdapterServices::registerOperations(operations);
}

namespace {

// The registration at load.
struct Registrar {
  Registrar() { ClockServices::registerWithLibrary(); }
} g_registrar;

}  // namespace

}  // namespace QUIB
