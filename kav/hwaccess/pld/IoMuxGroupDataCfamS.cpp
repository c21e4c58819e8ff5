#include "kav/hwaccess/pld/IoMuxGroupDataCfamS.h"

KAV_TREE_CLASS_IMPL(IoMuxGroupDataCfamS, IoMuxGroupDataBase)

IoMuxGroupDataCfamS::IoMuxGroupDataCfamS() {}

IoMuxGroupDataCfamS::~IoMuxGroupDataCfamS() {}

BaseErrorData IoMuxGroupDataCfamS::setAttributes(const AttributeInfo& info) {
  return setGroupAttributes(info, s_maxGroups, s_levelCount);
}

unsigned int IoMuxGroupDataCfamS::getGroupSize() const { return s_groupSize; }

BuildBase* createIoMuxGroupDataCfamS(void*, BaseErrorData&) { return (new IoMuxGroupDataCfamS())->getBuildInterface(); }
