#include "kav/tree/config/BuildBase.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"

BuildBase::BuildBase(QueryBase* object) : m_pQueryBase(object) {}

BuildBase::~BuildBase() {}

BaseErrorData BuildBase::setAttributes(const BinaryReaderNode* node, const BinaryReaderNode* context,
                                       BuildBase* parent) {
  QueryBase* parentObject = parent != nullptr ? parent->getQueryBase() : nullptr;
  AttributeInfo info(parentObject, node, context);
  return m_pQueryBase->setAttributes(info);
}

void BuildBase::setName(unsigned int id) { m_pQueryBase->setInstanceId(id); }

BaseErrorData BuildBase::addChild(BuildBase* child) {
  if (child == nullptr) {
    KAV_TRACE(KAVE, "BuildBase::addChild null child of object %p", m_pQueryBase);
    return BaseErrorData(BaseErrorData::NO_OVERWRITE, 0x7000);
  }
  return m_pQueryBase->addChild(KavPtr<QueryBase>(child->getQueryBase()));
}
