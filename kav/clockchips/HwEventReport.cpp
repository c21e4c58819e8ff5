#include "kav/clockchips/HwEventReport.h"

#include <cstdio>

#include "kav/tree/errors/ErrorData.h"

kavstl::string HwEventReport::headline(unsigned int slotId, const char* device, const kavstl::string& name,
                                       const char* kind) {
  char head[32];
  std::snprintf(head, sizeof head, "SlotId=0x%.8x", slotId);
  kavstl::string text = kavstl::string(head) + " - On " + device + " '" + name + "' a ";
  if (kind != nullptr && kind[0] != '\0') text += kavstl::string(kind) + " ";
  return text + "HW-Event was detected! \n";
}

kavstl::string HwEventReport::currentErrors(const kavstl::vector<kavstl::string>& flags) {
  kavstl::string text = "Current Errors: ";
  if (flags.empty()) return text + "'NONE'";
  for (const kavstl::string& flag : flags) text += "'" + flag + "'; ";
  return text;
}

void HwEventReport::log(const kavstl::string& text, const char* secondaryKey, const KavPtr<const QueryBase>& origin) {
  ErrorData event(ErrorData::NO_OVERWRITE, kHardwareEvent);
  event.addDataToErrorBuffer(text);
  event.logAsynchron("HwEvent", secondaryKey, origin, origin);
}
