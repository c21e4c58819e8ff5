#include "kav/tree/objects/QueryBase.h"

#include <ostream>

#include "kav/runtime/GarbageCollector.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/MemPool.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/start/ExecList.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/start/TerminateSequenceExecutor.h"
#include "perc_abend.h"

IFOSRcLocalMutex& QueryBase::g_childListsProtector = *new IFOSRcLocalMutex();

namespace {

// Holds the tree lock for a scope.
class TreeLock {
 public:
  TreeLock() { QueryBase::g_childListsProtector.mutexRequest(-1); }
  ~TreeLock() { QueryBase::g_childListsProtector.mutexRelease(); }
  TreeLock(const TreeLock&) = delete;
  TreeLock& operator=(const TreeLock&) = delete;
};

std::atomic<MemPool*> s_pool{nullptr};

constexpr unsigned int kAttributeMissing = 0x7145;

}  // namespace

QueryBase::QueryBase()
    : m_instanceId(0),
      m_referenceCount(0),
      m_isDeleted(false),
      m_isHidden(false),
      m_deletedSlotId(0),
      m_buildBase(this) {}

QueryBase::~QueryBase() {}

unsigned int QueryBase::staticGetClassId() {
  static const unsigned int s_classId = get_id_by_string("QueryBase");
  return s_classId;
}

unsigned int QueryBase::getClassId() const { return staticGetClassId(); }

bool QueryBase::isInstanceOf(unsigned int classId) const { return classId == staticGetClassId(); }

unsigned int QueryBase::getInstanceSize() const { return static_cast<unsigned int>(sizeof(QueryBase)); }

// ---- references -----------------------------------------------------------

void QueryBase::requestReference() const { m_referenceCount.fetch_add(1, std::memory_order_relaxed); }

void QueryBase::releaseReference() const { m_referenceCount.fetch_sub(1, std::memory_order_acq_rel); }

void QueryBase::requestReference(KavPtrBase*) const { requestReference(); }

void QueryBase::releaseReference(KavPtrBase*) const { releaseReference(); }

unsigned int QueryBase::getReferenceCount() const { return m_referenceCount.load(std::memory_order_acquire); }

bool QueryBase::isReserved() const { return getReferenceCount() != 0; }

// ---- structure -----------------------------------------------------------

bool QueryBase::isLeaf() const {
  TreeLock lock;
  return m_children.empty();
}

bool QueryBase::isRoot() const {
  TreeLock lock;
  return m_parent == nullptr;
}

BaseErrorData QueryBase::addChild(KavPtr<QueryBase> child) {
  if (child == nullptr) {
    KAV_TRACE(KAVE, "QueryBase::addChild: null child of %p", this);
    return BaseErrorData();
  }
  TreeLock lock;
  if (child->isHidden())
    m_hiddenChildren.push_back(child);
  else
    m_children.push_back(child);
  return BaseErrorData();
}

BaseErrorData QueryBase::removeChild(KavPtr<QueryBase> child) {
  if (child == nullptr) return BaseErrorData();
  TreeLock lock;
  ChildList_t& list = child->isHidden() ? m_hiddenChildren : m_children;
  list.remove(child);
  return BaseErrorData();
}

void QueryBase::setParent(KavPtr<QueryBase> parent) {
  if (parent == nullptr) return;
  TreeLock lock;
  if (m_parent == nullptr) m_parent = parent;
}

KavPtr<const QueryBase> QueryBase::getParent() const {
  TreeLock lock;
  return KavPtr<const QueryBase>(m_parent);
}

KavPtr<QueryBase> QueryBase::getParent() {
  TreeLock lock;
  return m_parent;
}

QueryBase::ChildList_t QueryBase::getChildren() const {
  TreeLock lock;
  return m_children;
}

QueryBase::ChildList_t QueryBase::getHiddenChildren() const {
  TreeLock lock;
  return m_hiddenChildren;
}

bool QueryBase::isHidden() const { return m_isHidden.load(); }

void QueryBase::setHidden(bool hidden) { m_isHidden.store(hidden); }

unsigned int QueryBase::getInstanceId() const { return m_instanceId; }

void QueryBase::setInstanceId(unsigned int id) { m_instanceId = id; }

bool QueryBase::isDeleted() const { return m_isDeleted.load(); }

unsigned int QueryBase::getDeletedSlotId() const { return m_deletedSlotId.load(); }

void QueryBase::setDeletedSlotId(unsigned int slotId) { m_deletedSlotId.store(slotId); }

unsigned int QueryBase::getSlotId() const {
  KavPtr<const QueryBase> parent = getParent();
  if (parent != nullptr) return parent->getSlotId();
  return m_deletedSlotId.load();
}

BuildBase* QueryBase::getBuildInterface() { return &m_buildBase; }

BaseErrorData QueryBase::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc;
  setParent(KavPtr<QueryBase>(info.getParent()));
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) {
    KAV_TRACE_STR(KAVE, "%s::setAttributes: no attributes", get_string_by_id(getClassId()));
    return rc;
  }
  unsigned int id = 0;
  BaseErrorData r = getAttributeStringId(&id, kav::sid::INSTANCE_NAME, *local, true);
  if (r == 0) {
    m_instanceId = id;
  } else {
    // A node without a name keeps its instance id.
    KAV_TRACE_STR(KAVE, "%s::setAttributes: no instance name rc=0x%08X", get_string_by_id(getClassId()),
                  r.getRcWithoutLogFlag());
    if (r != kAttributeMissing) rc = r;
  }
  bool hidden = false;
  r = getAttributeBool(&hidden, kav::sid::HIDDEN, *local, true);
  if (r == 0)
    m_isHidden.store(hidden);
  else if (r != kAttributeMissing)
    rc = r;
  return rc;
}

// ---- access --------------------------------------------------------------

BaseErrorData QueryBase::requestAccess(int timeout) const {
  return BaseErrorData(BaseErrorData::NO_OVERWRITE, static_cast<unsigned int>(mutexRequest(timeout)));
}

BaseErrorData QueryBase::releaseAccess() const {
  return BaseErrorData(BaseErrorData::NO_OVERWRITE, static_cast<unsigned int>(mutexRelease()));
}

void QueryBase::noMutexOwner(const char* operation) const {
  KAV_TRACE_STR(KAVE, "%s: no AtomicBase above the node", get_string_by_id(getClassId()) + "::" + operation);
  percAbend(0, nullptr, 0, 0, 0, 0, "tree without mutex owner", 11, 0);
}

unsigned long QueryBase::mutexRequest(int timeout) const {
  KavPtr<const QueryBase> parent = getParent();
  if (parent == nullptr) noMutexOwner("mutexRequest");
  return parent->mutexRequest(timeout);
}

unsigned long QueryBase::mutexRelease() const {
  KavPtr<const QueryBase> parent = getParent();
  if (parent == nullptr) {
    if (isDeleted()) {
      KAV_TRACE_STR(KAVE, "%s::mutexRelease: deleted node without parent", get_string_by_id(getClassId()));
      return 0;
    }
    noMutexOwner("mutexRelease");
  }
  return parent->mutexRelease();
}

// ---- life cycle ----------------------------------------------------------

BaseErrorData QueryBase::init(initSequence::Id_t) { return BaseErrorData(); }

BaseErrorData QueryBase::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_MARK_DELETED) {
    m_isDeleted.store(true);
    unsigned int slotId = getSlotId();
    if (slotId != 0) m_deletedSlotId.store(slotId);
  } else if (step == terminateSequence::TERM_DETACH) {
    KavPtr<QueryBase> self(this);
    KavPtr<QueryBase> parent = getParent();
    if (parent != nullptr) {
      parent->removeChild(self);
      TreeLock lock;
      m_parent = nullptr;
    }
    // A node that leaves the tree here has nobody else to delete it, with or
    // without a parent.
    GarbageCollector::getInstance()->add(this);
  }
  return BaseErrorData();
}

BaseErrorData QueryBase::terminateSubTreeAndAddToGarbageCollector() {
  ExecList<QueryBase> list;
  addToExecListInPostfixOrder(list, true);
  TerminateSequenceExecutor executor;
  kavstl::vector<terminateSequence::Id_t> steps = get_fru_terminate_steps();
  return list.forEachElementLoop(executor, steps);
}

void QueryBase::showReferenceInformation() const {
  KAV_TRACE_STR(KAVT, "%s deletedSlotId=0x%X references=%u at %p", get_string_by_id(getClassId()),
                getDeletedSlotId(), getReferenceCount(), this);
}

void QueryBase::dumpXml(std::ostream& os) const {
  if (!os) return;
  ChildList_t children;
  ChildList_t hidden;
  {
    TreeLock lock;
    children = m_children;
    hidden = m_hiddenChildren;
  }
  os << "<class className=\"" << get_string_by_id(staticGetClassId()) << "\">\n";
  os << "<parameter name=\"" << get_string_by_id(kav::sid::HIDDEN) << "\" value=\""
     << (isHidden() ? "true" : "false") << "\" />\n";
  os << "<parameter name=\"isDeleted\" value=\"" << (isDeleted() ? "true" : "false") << "\" />\n";
  os << "<parameter name=\"m_referenceCount\" value=\"" << getReferenceCount() << "\"/>\n";
  if (getDeletedSlotId() != 0) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", getDeletedSlotId());
    os << "<parameter name=\"m_deletedSlotId\" value=\"" << buf << "\"/>\n";
  }
  os << "</class>\n";
  for (const ChildList_t* list : {&children, &hidden}) {
    for (const KavPtr<QueryBase>& child : *list) {
      os << "<instance className=\"" << get_string_by_id(child->getClassId()) << "\" instanceName=\""
         << get_string_by_id(child->getInstanceId()) << "\" instancePointer=\"" << child.asString()
         << "\" instanceSize=\"" << child->getInstanceSize() << "\">\n";
      child->dumpXml(os);
      os << "</instance>\n";
    }
  }
}

// ---- ordered lists -------------------------------------------------------

BaseErrorData QueryBase::addPrefix(ExecList<QueryBase>& list, bool withHidden) {
  BaseErrorData rc(BaseErrorData::OVERWRITE);
  BaseErrorData r = list.addElement(KavPtr<QueryBase>(this));
  if (r != 0) rc = r;
  for (const KavPtr<QueryBase>& child : m_children) {
    r = child->addPrefix(list, withHidden);
    if (r != 0) rc = r;
  }
  if (withHidden) {
    for (const KavPtr<QueryBase>& child : m_hiddenChildren) {
      r = child->addPrefix(list, withHidden);
      if (r != 0) rc = r;
    }
  }
  return rc;
}

BaseErrorData QueryBase::addPostfix(ExecList<QueryBase>& list, bool withHidden) {
  BaseErrorData rc(BaseErrorData::OVERWRITE);
  BaseErrorData r;
  for (const KavPtr<QueryBase>& child : m_children) {
    r = child->addPostfix(list, withHidden);
    if (r != 0) rc = r;
  }
  if (withHidden) {
    for (const KavPtr<QueryBase>& child : m_hiddenChildren) {
      r = child->addPostfix(list, withHidden);
      if (r != 0) rc = r;
    }
  }
  r = list.addElement(KavPtr<QueryBase>(this));
  if (r != 0) rc = r;
  return rc;
}

BaseErrorData QueryBase::addToExecListInPrefixOrder(ExecList<QueryBase>& list, bool withHidden) {
  TreeLock lock;
  return addPrefix(list, withHidden);
}

BaseErrorData QueryBase::addToExecListInPostfixOrder(ExecList<QueryBase>& list, bool withHidden) {
  TreeLock lock;
  return addPostfix(list, withHidden);
}

BaseErrorData QueryBase::addChildsToExecListInPrefixOrder(ExecList<QueryBase>& list, unsigned int& childrenDone,
                                                          unsigned int& hiddenDone, bool withHidden) {
  return addNewChildren(&QueryBase::addPrefix, list, childrenDone, hiddenDone, withHidden);
}

BaseErrorData QueryBase::addChildsToExecListInPostfixOrder(ExecList<QueryBase>& list, unsigned int& childrenDone,
                                                           unsigned int& hiddenDone, bool withHidden) {
  return addNewChildren(&QueryBase::addPostfix, list, childrenDone, hiddenDone, withHidden);
}

// Walks the children (and hidden children) added since the counts were
// taken, then moves the counts to the current sizes.
BaseErrorData QueryBase::addNewChildren(Walk walk, ExecList<QueryBase>& list, unsigned int& childrenDone,
                                        unsigned int& hiddenDone, bool withHidden) {
  TreeLock lock;
  BaseErrorData rc(BaseErrorData::OVERWRITE);
  auto walkFrom = [&](const auto& children, unsigned int done) {
    unsigned int pos = 0;
    for (const KavPtr<QueryBase>& child : children) {
      if (++pos <= done) continue;
      BaseErrorData r = ((*child).*walk)(list, withHidden);
      if (r != 0) rc = r;
    }
  };
  walkFrom(m_children, childrenDone);
  if (withHidden) walkFrom(m_hiddenChildren, hiddenDone);
  childrenDone = static_cast<unsigned int>(m_children.size());
  hiddenDone = static_cast<unsigned int>(m_hiddenChildren.size());
  return rc;
}

// ---- memory ---------------------------------------------------------------

void QueryBase::initMemoryPool() {
  if (s_pool.load() != nullptr) return;
  MemPool* pool = new MemPool(kPoolChunkKB, true);
  MemPool* expected = nullptr;
  if (!s_pool.compare_exchange_strong(expected, pool)) delete pool;
}

void QueryBase::terminateMemoryPool() { delete s_pool.exchange(nullptr); }

MemPool* QueryBase::getMemoryPool() { return s_pool.load(); }

void* QueryBase::operator new(std::size_t size) noexcept {
  if (s_pool.load() == nullptr) initMemoryPool();
  if (size > 0xFFFFFFFFu) return nullptr;
  return s_pool.load()->allocate(static_cast<unsigned int>(size));
}

void QueryBase::operator delete(void* p) noexcept {
  if (p == nullptr) return;
  MemPool* pool = s_pool.load();
  if (pool == nullptr) {
    // The pool and all memory in it are gone already.
    KAV_TRACE(KAVE, "QueryBase::operator delete %p without memory pool", p);
    return;
  }
  pool->deallocate(p);
}
