#include "kav/cards/FruStateTableSysRam.h"

#include <cstdio>
#include <ostream>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(FruStateTableSysRam, FruStateTable)

namespace {
const unsigned int kMissingPointer = 0x7000;
const unsigned int kLinkNotResolved = 0x702D;
}  // namespace

FruStateTableSysRam::FruStateTableSysRam() : m_tableId(0) {}

FruStateTableSysRam::~FruStateTableSysRam() {}

BaseErrorData FruStateTableSysRam::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = FruStateTable::setAttributes(info);
  if (rc == 0 && info.getLocalAttributes() != nullptr)
    rc = getAttributeStringId(&m_tableId, kav::sid::STATE_TABLE_ID, *info.getLocalAttributes(), false);
  return rc;
}

BaseErrorData FruStateTableSysRam::init(initSequence::Id_t step) {
  BaseErrorData rc = FruStateTable::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) rc = connectScratchpad();
  return rc;
}

BaseErrorData FruStateTableSysRam::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_DISCONNECT) {
    KavPtr<Ram> target = ram();
    if (target != nullptr && !target->isDeleted()) target->clearTable(m_tableId);
  } else if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    IFOSGuard<const QueryBase> guard(*this);
    m_scratchpad = KavPtr<RamLink>();
  }
  return FruStateTable::terminate(step);
}

ErrorData FruStateTableSysRam::connectScratchpad() {
  ErrorData rc;
  unsigned int count = 0;
  KavPtr<RamLink> link = singleHiddenChild<RamLink>(*this, count);
  IFOSGuard<const QueryBase> guard(*this);
  m_scratchpad = link;
  if (link == nullptr) {
    rc = kLinkNotResolved;
    KAV_TRACE(KAVE, " %08x,%X", getInstanceId(), rc.getRc());
  }
  return rc;
}

KavPtr<Ram> FruStateTableSysRam::ram() const {
  KavPtr<RamLink> link;
  {
    IFOSGuard<const QueryBase> guard(*this);
    link = m_scratchpad;
  }
  return link != nullptr ? link->getLinkTarget() : KavPtr<Ram>();
}

ErrorData FruStateTableSysRam::readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                         unsigned int offset) const {
  if (buf == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissingPointer);
  KavPtr<Ram> target = ram();
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kLinkNotResolved);
  return target->readField(m_tableId, fieldId, buf, size, offset);
}

ErrorData FruStateTableSysRam::writeField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                          unsigned int offset) {
  if (buf == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissingPointer);
  KavPtr<Ram> target = ram();
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kLinkNotResolved);
  return target->writeField(m_tableId, fieldId, buf, size, offset);
}

ErrorData FruStateTableSysRam::writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask,
                                                  unsigned int size, unsigned int offset) {
  if (data == nullptr || mask == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissingPointer);
  KavPtr<Ram> target = ram();
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kLinkNotResolved);
  return target->writeFieldWithMask(m_tableId, fieldId, data, mask, size, offset);
}

ErrorData FruStateTableSysRam::getFieldIds(kavstl::vector<unsigned int>* fieldIds) const {
  if (fieldIds == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissingPointer);
  KavPtr<Ram> target = ram();
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kLinkNotResolved);
  return target->getFieldIds(m_tableId, fieldIds);
}

ErrorData FruStateTableSysRam::getFieldSize(unsigned int fieldId, unsigned int* size) const {
  if (size == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissingPointer);
  KavPtr<Ram> target = ram();
  if (target == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kLinkNotResolved);
  return target->getFieldSize(m_tableId, fieldId, size);
}

void FruStateTableSysRam::dumpXml(std::ostream& os) const {
  if (!os) return;
  {
    IFOSGuard<const QueryBase> guard(*this);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", static_cast<const void*>(m_scratchpad.getRawPointer()));
    os << "<class className=\"FruStateTableSysRam\">\n";
    os << "<parameter name=\"m_scratchpad\" value=\"" << buf << "\"/>\n";
    os << "<parameter name=\"m_tableId\" value=\"" << get_string_by_id(m_tableId) << "\"/>\n";
    os << "</class>\n";
  }
  FruStateTable::dumpXml(os);
}

BuildBase* createFruStateTableSysRam(void*, BaseErrorData&) {
  FruStateTableSysRam* table = new FruStateTableSysRam();
  return table->getBuildInterface();
}
