#include "kav/runtime/GarbageCollector.h"

#include <ostream>

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BuildBase.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"
#include "perc_abend.h"

namespace {

std::atomic<GarbageCollector*> s_instance{nullptr};

constexpr unsigned int kDefaultPeriodMs = 1000;

[[noreturn]] void gcAbend(const char* text) { percAbend(0xF0D1, nullptr, 0, 0, 0, 0, text, 11, 0); }

}  // namespace

GarbageCollector* GarbageCollector::getInstance() {
  GarbageCollector* gc = s_instance.load();
  if (gc != nullptr) return gc;
  GarbageCollector* fresh = new GarbageCollector();
  if (s_instance.compare_exchange_strong(gc, fresh)) return fresh;
  delete fresh;
  return gc;
}

void GarbageCollector::destroyInstance() {
  GarbageCollector* gc = s_instance.exchange(nullptr);
  if (gc == nullptr) return;
  gc->terminate();
  delete gc;
}

GarbageCollector::GarbageCollector()
    : m_collectionPeriod(kDefaultPeriodMs),
      m_terminating(false),
      m_initialised(false),
      m_listMutex(IFOS_MUTEX_UNLOCKED),
      m_collectionMutex(IFOS_MUTEX_UNLOCKED),
      m_wakeUp(IFOS_EVENT_RESET),
      m_thread(nullptr),
      m_executor(this) {
  m_thread.setExecutor(&m_executor);
}

GarbageCollector::~GarbageCollector() {}

void GarbageCollector::init() {
  bool expected = false;
  if (!m_initialised.compare_exchange_strong(expected, true)) return;
  m_terminating.store(false);
  m_wakeUp.resetEvent();
  unsigned long rc = m_thread.start();
  if (rc != 0) {
    KAV_TRACE(KAVE, "GarbageCollector: thread start failed rc=%u", rc);
    gcAbend("GarbageCollector: thread start");
  }
  KAV_TRACE(KAVT, "GarbageCollector started");
}

void GarbageCollector::terminate() {
  bool expected = true;
  if (!m_initialised.compare_exchange_strong(expected, false)) return;
  m_terminating.store(true);
  m_wakeUp.postEvent();
  m_thread.waitForCompletion();
  KAV_TRACE(KAVT, "GarbageCollector stopped, %u objects pending", getNumberOfDeleteRequests());
}

void GarbageCollector::GarbageCollectorThread::execute() const { m_pOwner->garbageCollectorThreadImplementation(); }

void GarbageCollector::garbageCollectorThreadImplementation() {
  while (!m_terminating.load()) {
    deleteUnreservedObjects();
    m_wakeUp.waitEvent(static_cast<long>(m_collectionPeriod.load()));
  }
}

void GarbageCollector::add(QueryBase* object) {
  if (object == nullptr) {
    KAV_TRACE(KAVE, "GarbageCollector::add: null object");
    return;
  }
  IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
  m_deleteSet.insert(object);
}

void GarbageCollector::add(BuildBase* object) {
  if (object == nullptr) {
    KAV_TRACE(KAVE, "GarbageCollector::add: null build interface");
    return;
  }
  add(object->getQueryBase());
}

unsigned int GarbageCollector::getNumberOfDeleteRequests() {
  IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
  return static_cast<unsigned int>(m_deleteSet.size());
}

bool GarbageCollector::isPending(const QueryBase* object) {
  IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
  return m_deleteSet.count(const_cast<QueryBase*>(object)) != 0;
}

void GarbageCollector::dumpDeleteListMembers() {
  IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
  KAV_TRACE(KAVT, "GarbageCollector: %u objects pending", static_cast<unsigned int>(m_deleteSet.size()));
  for (QueryBase* object : m_deleteSet) object->showReferenceInformation();
}

unsigned int GarbageCollector::deleteUnreservedObjects() {
  {
    IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
    if (m_deleteSet.empty()) return 0;
  }
  IFOSGuard<IFOSRcLocalMutex> collection(m_collectionMutex);
  // The unreserved objects leave the set under the list mutex; they are
  // deleted after it is released, so that a destructor that waits for a lock
  // held by a thread that is handing an object in cannot deadlock with it.
  kavstl::vector<QueryBase*> victims;
  {
    IFOSGuard<IFOSRcLocalMutex> guard(m_listMutex);
    for (kavstl::set<QueryBase*>::iterator it = m_deleteSet.begin(); it != m_deleteSet.end();) {
      if ((*it)->isReserved()) {
        ++it;
        continue;
      }
      victims.push_back(*it);
      it = m_deleteSet.erase(it);
    }
    if (victims.empty()) dumpDeleteListMembers();
  }
  for (QueryBase* object : victims) delete object;
  return static_cast<unsigned int>(victims.size());
}

void GarbageCollector::dumpXmlDeleteListMembers(std::ostream& os) {
  GarbageCollector* gc = s_instance.load();
  if (gc == nullptr || !os) return;
  IFOSGuard<IFOSRcLocalMutex> guard(gc->m_listMutex);
  for (QueryBase* object : gc->m_deleteSet) {
    KavPtr<const QueryBase> p(object);
    os << "<instance className=\"" << get_string_by_id(object->getClassId()) << "\" instanceName=\""
       << get_string_by_id(object->getInstanceId()) << "\" instancePointer=\"" << p.asString()
       << "\" instanceSize=\"" << object->getInstanceSize() << "\">\n";
    object->dumpXml(os);
    os << "</instance>\n";
  }
}

void initGarbageCollector() { GarbageCollector::getInstance()->init(); }

void terminateGarbageCollector() { GarbageCollector::getInstance()->terminate(); }
