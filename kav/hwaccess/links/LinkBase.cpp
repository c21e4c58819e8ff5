#include "kav/hwaccess/links/LinkBase.h"

#include "kav/cards/IdProviderAccess.h"
#include "kav/hwaccess/links/DynamicLinkInfo.h"
#include "kav/hwaccess/links/LinkCallBackBase.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/objects/ContainerList.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

KAV_TREE_CLASS_IMPL(LinkBase, QueryBase)

namespace {
const unsigned int kHandlerLimitMs = 1000;
const unsigned int kAttributeMissing = 0x7145u;
const unsigned int kMissingLink = 0x7002u;
}  // namespace

LinkBase::LinkBase() : m_scopeId(0), m_pDynamicLinkInfo(nullptr), m_targetInstanceName(0) {}

LinkBase::~LinkBase() { delete m_pDynamicLinkInfo; }

BaseErrorData LinkBase::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = QueryBase::setAttributes(info);
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) return rc;
  rc = getAttributeStringId(&m_scopeId, kav::sid::LINK_SCOPE, *local, false);
  unsigned int name = 0;
  BaseErrorData read = getAttributeStringId(&name, kav::sid::TARGET_INSTANCE_NAME, *local, true);
  if (read == 0) {
    m_targetInstanceName = name;
    return rc;
  }
  if (read != kAttributeMissing) {
    rc = read;
    return rc;
  }
  unsigned int engineType = 0;
  unsigned int hwaId = 0;
  unsigned int engineId = 0;
  rc = getAttributeStringId(&engineType, kav::sid::ENGINE_TYPE, *local, false);
  rc = getAttributeUint32(&hwaId, kav::sid::HWA_ID, *local, false);
  rc = getAttributeUint32(&engineId, kav::sid::LINK_ENGINE_ID, *local, false);
  m_targetInstanceName = get_engine_instance_name_id(engineType, hwaId, engineId);
  return rc;
}

BaseErrorData LinkBase::init(initSequence::Id_t step) {
  BaseErrorData rc = QueryBase::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) {
    rc = initContainer();
  } else if (step == initSequence::INIT_REGISTER_EVENTS) {
    // Bound under the lock: a configuration event handled as soon as the
    // registration stands must not be overwritten by this first binding.
    IFOSGuard<const QueryBase> guard(*this);
    if (m_pDynamicLinkInfo == nullptr) return rc;
    rc = m_pDynamicLinkInfo->registerEvents();
    setContainer(ContainerList::getContainer(m_pDynamicLinkInfo->getSlotId()));
  }
  return rc;
}

BaseErrorData LinkBase::terminate(terminateSequence::Id_t step) {
  // Deregistering waits for a delivery under way, whose handler here takes
  // this link's lock: neither the deregistration nor the deletion (which
  // deregisters what is left) runs under it. Only the termination thread
  // changes the registrations.
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) {
    DynamicLinkInfo* info = nullptr;
    {
      IFOSGuard<const QueryBase> guard(*this);
      info = m_pDynamicLinkInfo;
    }
    if (info != nullptr) info->deregisterEvents();
  } else if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    DynamicLinkInfo* info = nullptr;
    {
      IFOSGuard<const QueryBase> guard(*this);
      info = m_pDynamicLinkInfo;
      m_pDynamicLinkInfo = nullptr;
    }
    delete info;
    setContainer(KavPtr<Container>());
  }
  return QueryBase::terminate(step);
}

ErrorData LinkBase::initContainer() {
  ErrorData rc;
  KavPtr<Container> enclosing =
      seekUp<Container>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Container::staticGetClassId()));
  KavPtr<Container> container;
  if (m_scopeId == kav::sid::SCOPE_PARENT_CONTAINER) {
    if (enclosing != nullptr) {
      container = seekUp<Container>(KavPtr<const QueryBase>(enclosing),
                                    InstanceOfCriteria(Container::staticGetClassId()));
    }
  } else if (m_scopeId == kav::sid::SCOPE_CONTAINER) {
    container = enclosing;
  } else {
    unsigned int slotId = 0;
    BaseErrorData found = getIdFromProviderUint32(this, m_scopeId, slotId);
    if (found != 0) {
      // The link stays static and without container.
      ErrorData log(BaseErrorData::NO_OVERWRITE, found.getRcWithoutLogFlag());
      log.microcodeLog("kav/LinkBase", __LINE__, "LinkBase: no slot id in provider found.", 2, true);
      KAV_TRACE_STR(KAVE, "LinkBase::initContainer no slot id for %s", get_string_by_id(m_scopeId));
      return rc;
    }
    IFOSGuard<const QueryBase> guard(*this);
    delete m_pDynamicLinkInfo;
    m_pDynamicLinkInfo = new DynamicLinkInfo(this, slotId);
    return rc;
  }
  if (container == nullptr) {
    KAV_TRACE_STR(KAVE, "LinkBase::initContainer no container for scope %s", get_string_by_id(m_scopeId));
    rc = kMissingLink;
  }
  setContainer(container);
  return rc;
}

void LinkBase::setContainer(KavPtr<Container> container) {
  IFOSGuard<const QueryBase> guard(*this);
  m_container = container;
  updateLinkTarget();
  if (m_pDynamicLinkInfo != nullptr) m_pDynamicLinkInfo->valueChanged();
}

KavPtr<Container> LinkBase::getContainer() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_container;
}

void LinkBase::handleConfigEvent(const ConfigChangeEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleConfigEvent");
  // Typed registrations are served before the container list (an
  // any-registration) hears of the same event, so the list may not know the
  // slot's content yet: the slot is configured, so look it up in the tree.
  KavPtr<Container> container = ContainerList::getContainer(event.getSlotId());
  if (container == nullptr) container = ContainerList::getInstance()->lookup(event.getSlotId());
  setContainer(container);
}

void LinkBase::handleUnconfigEvent(const ConfigChangeEvent&) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kHandlerLimitMs, "handleUnconfigEvent");
  setContainer(KavPtr<Container>());
}

bool LinkBase::registerCallBack(LinkCallBackBase& callBack) {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pDynamicLinkInfo == nullptr) return false;
  return m_pDynamicLinkInfo->registerCallBack(callBack);
}

void LinkBase::deleteCallBack() {
  IFOSGuard<const QueryBase> guard(*this);
  if (m_pDynamicLinkInfo != nullptr) m_pDynamicLinkInfo->deleteCallBack();
}

bool LinkBase::isDynamicLink() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pDynamicLinkInfo != nullptr;
}

unsigned int LinkBase::getDynamicSlotId() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pDynamicLinkInfo != nullptr ? m_pDynamicLinkInfo->getSlotId() : 0xFFFFFFFFu;
}
