#include "kav/diag/LogSlotIdConverterKey.h"

#include <cstdio>

kavstl::string LogSlotIdConverterKey::asString() const {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", m_slotId);
  return text;
}
