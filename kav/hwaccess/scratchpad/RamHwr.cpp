#include "kav/hwaccess/scratchpad/RamHwr.h"

#include "kav/hwaccess/scratchpad/RamHwdInterfaceLink.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(RamHwr, RamHwrInterface)

namespace {
const unsigned int kNoDevice = 0x7362u;
const unsigned int kNoDeviceLink = 0x7363u;
}  // namespace

RamHwr::RamHwr() : m_logicalId(0xFFFFFFFFu) {}

RamHwr::~RamHwr() {}

BaseErrorData RamHwr::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = RamHwrInterface::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  unsigned int logicalId = 0;
  if (getAttributeUint32(&logicalId, kav::sid::DIO_LOGICAL_ID, *node, true) == 0) m_logicalId = logicalId;
  return rc;
}

BaseErrorData RamHwr::init(initSequence::Id_t step) {
  BaseErrorData rc = RamHwrInterface::init(step);
  if (step != initSequence::INIT_LINK_TREE_ELEMENTS) return rc;
  unsigned int count = 0;
  KavPtr<RamHwdInterfaceLink> link = singleHiddenChild<RamHwdInterfaceLink>(*this, count);
  if (link == nullptr) {
    KAV_TRACE(KAVE, "RamHwr %.8X no single device link count=%u", getSlotId(), count);
    rc = kNoDeviceLink;
    return rc;
  }
  IFOSGuard<const QueryBase> guard(*this);
  m_ramHwdLink = link;
  return rc;
}

BaseErrorData RamHwr::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_ramHwdLink = nullptr;
  }
  return RamHwrInterface::terminate(step);
}

KavPtr<RamHwdInterface> RamHwr::device() const {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_ramHwdLink == nullptr) return KavPtr<RamHwdInterface>();
  return m_ramHwdLink->getLinkTarget();
}

ErrorData RamHwr::read(unsigned int offset, unsigned char* data, unsigned int len) const {
  KavPtr<RamHwdInterface> hwd = device();
  if (hwd == nullptr) {
    KAV_TRACE(KAVE, "RamHwr::read %.8X offset=%u len=%u without device", getSlotId(), offset, len);
    return ErrorData(ErrorData::NO_OVERWRITE, kNoDevice);
  }
  return hwd->read(offset, data, len);
}

ErrorData RamHwr::write(unsigned int offset, const unsigned char* data, unsigned int len) const {
  KavPtr<RamHwdInterface> hwd = device();
  if (hwd == nullptr) {
    KAV_TRACE(KAVE, "RamHwr::write %.8X offset=%u len=%u without device", getSlotId(), offset, len);
    return ErrorData(ErrorData::NO_OVERWRITE, kNoDevice);
  }
  return hwd->write(offset, data, len);
}

ErrorData RamHwr::readSize(unsigned int& size) const {
  KavPtr<RamHwdInterface> hwd = device();
  if (hwd == nullptr) {
    KAV_TRACE(KAVE, "RamHwr::readSize %.8X without device", getSlotId());
    return ErrorData(ErrorData::NO_OVERWRITE, kNoDevice);
  }
  return hwd->readSize(size);
}

BuildBase* createRamHwr(void*, BaseErrorData&) { return (new RamHwr())->getBuildInterface(); }
