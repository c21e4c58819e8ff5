#include "kav/runtime/KavWait.h"

#include <cerrno>
#include <ctime>

#include "kav/runtime/TimeScale.h"

void KavWait(unsigned int ms) {
  const unsigned int scaled = TimeScale::delayMs(ms);
  if (scaled == 0) return;
  struct timespec left = {static_cast<time_t>(scaled / 1000u), static_cast<long>(scaled % 1000u) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
