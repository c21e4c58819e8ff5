// The report of a hardware event seen on a chip's alarm line: the text that
// tells where it was seen, followed by the chip's error flags at the time,
// and its log entry (0x7014 with the primary key "HwEvent").
#ifndef KAV_CLOCKCHIPS_HWEVENTREPORT_H
#define KAV_CLOCKCHIPS_HWEVENTREPORT_H

#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/kavstl.h"

class HwEventReport {
 public:
  // "SlotId=0x0000000a - On <device> '<name>' a <kind> HW-Event was
  // detected! " and a line end; without a kind "... a HW-Event ...".
  static kavstl::string headline(unsigned int slotId, const char* device, const kavstl::string& name,
                                 const char* kind);
  // "Current Errors: " and "'<flag>'; " for each flag, or "'NONE'" when
  // there is none.
  static kavstl::string currentErrors(const kavstl::vector<kavstl::string>& flags);
  // Logs the text asynchronously as 0x7014 with the keys "HwEvent" and
  // secondaryKey, the origin as dump root and origin.
  static void log(const kavstl::string& text, const char* secondaryKey, const KavPtr<const QueryBase>& origin);

  static const unsigned int kHardwareEvent = 0x7014;
};

#endif
