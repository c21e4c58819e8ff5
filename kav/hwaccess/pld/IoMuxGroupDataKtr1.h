// A pin group of the I/O multiplexer of a KTR1 chip: 66 groups of 4 pins; a
// group selects one of the first six engines (not JTAG or MAILBOX).
#ifndef KAV_HWACCESS_IOMUXGROUPDATAKTR1_H
#define KAV_HWACCESS_IOMUXGROUPDATAKTR1_H

#include "kav/hwaccess/pld/IoMuxGroupDataBase.h"

class KAV_EXPORT IoMuxGroupDataKtr1 : public IoMuxGroupDataBase {
  KAV_TREE_CLASS(IoMuxGroupDataKtr1)

 public:
  static const unsigned int s_groupSize = 4;
  static const unsigned int s_maxGroups = 66;
  // The number of mux levels (engines) a group of this type may select.
  static const unsigned int s_levelCount = 6;

  IoMuxGroupDataKtr1();
  ~IoMuxGroupDataKtr1() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  unsigned int getGroupSize() const override;
};

extern "C" KAV_EXPORT BuildBase* createIoMuxGroupDataKtr1(void* argument, BaseErrorData& error);

#endif
