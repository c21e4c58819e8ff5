#include "kav/hwaccess/pld/IoMuxGroupDataKtr1.h"

KAV_TREE_CLASS_IMPL(IoMuxGroupDataKtr1, IoMuxGroupDataBase)

IoMuxGroupDataKtr1::IoMuxGroupDataKtr1() {}

IoMuxGroupDataKtr1::~IoMuxGroupDataKtr1() {}

BaseErrorData IoMuxGroupDataKtr1::setAttributes(const AttributeInfo& info) {
  return setGroupAttributes(info, s_maxGroups, s_levelCount);
}

unsigned int IoMuxGroupDataKtr1::getGroupSize() const { return s_groupSize; }

BuildBase* createIoMuxGroupDataKtr1(void*, BaseErrorData&) { return (new IoMuxGroupDataKtr1())->getBuildInterface(); }
