// A pin group of a CFAM's own I/O multiplexer: 22 groups of 4 pins; a group
// selects any of the eight engines.
#ifndef KAV_HWACCESS_IOMUXGROUPDATACFAMS_H
#define KAV_HWACCESS_IOMUXGROUPDATACFAMS_H

#include "kav/hwaccess/pld/IoMuxGroupDataBase.h"

class KAV_EXPORT IoMuxGroupDataCfamS : public IoMuxGroupDataBase {
  KAV_TREE_CLASS(IoMuxGroupDataCfamS)

 public:
  static const unsigned int s_groupSize = 4;
  static const unsigned int s_maxGroups = 22;
  // The number of mux levels (engines) a group of this type may select.
  static const unsigned int s_levelCount = 8;

  IoMuxGroupDataCfamS();
  ~IoMuxGroupDataCfamS() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  unsigned int getGroupSize() const override;
};

extern "C" KAV_EXPORT BuildBase* createIoMuxGroupDataCfamS(void* argument, BaseErrorData& error);

#endif
