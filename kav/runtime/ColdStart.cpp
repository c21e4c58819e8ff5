#include "kav/runtime/ColdStart.h"

std::atomic<bool> g_coldStart(false);
