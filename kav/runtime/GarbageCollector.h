// Deferred deletion of tree objects. Objects that left the tree are handed
// to the collector; its thread deletes each one (virtual destructor, memory
// back to its pool) once no KavPtr refers to it any more.
//
// add() may be called from any thread; the list mutex guards the delete set
// and the collection mutex serialises collection passes.
#ifndef KAV_RUNTIME_GARBAGECOLLECTOR_H
#define KAV_RUNTIME_GARBAGECOLLECTOR_H

#include <atomic>
#include <iosfwd>

#include "kav/runtime/IFOSAbstractExecutor.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/runtime/IFOSRcLocalMutex.h"
#include "kav/runtime/IFOSRcThread.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BuildBase;
class QueryBase;

class KAV_EXPORT GarbageCollector {
 public:
  static GarbageCollector* getInstance();
  static void destroyInstance();

  // Starts the collector thread (once). Failure ends the process.
  void init();
  // Stops the thread (once); it ends without a further pass.
  void terminate();
  bool isInitialised() const { return m_initialised.load(); }

  // A null object is traced and ignored; an object is held once.
  void add(QueryBase* object);
  // The tree object of the build interface.
  void add(BuildBase* object);

  unsigned int getNumberOfDeleteRequests();
  // Traces every pending object.
  void dumpDeleteListMembers();
  // Deletes every pending object that is not reserved; answers how many.
  unsigned int deleteUnreservedObjects();
  // Time between passes in ms (1000).
  void setCollectionPeriod(unsigned int ms) { m_collectionPeriod.store(ms); }
  unsigned int getCollectionPeriod() const { return m_collectionPeriod.load(); }
  // Whether the object waits in the delete set.
  bool isPending(const QueryBase* object);

  // The pending objects as XML instance elements (for the tree dump).
  static void dumpXmlDeleteListMembers(std::ostream& os);

  virtual ~GarbageCollector();

 private:
  class GarbageCollectorThread : public IFOSAbstractExecutor {
   public:
    explicit GarbageCollectorThread(GarbageCollector* owner) : m_pOwner(owner) {}
    void execute() const override;

   private:
    GarbageCollector* m_pOwner;
  };

  GarbageCollector();
  GarbageCollector(const GarbageCollector&) = delete;
  GarbageCollector& operator=(const GarbageCollector&) = delete;

  void garbageCollectorThreadImplementation();

  kavstl::set<QueryBase*> m_deleteSet;
  std::atomic<unsigned int> m_collectionPeriod;
  std::atomic<bool> m_terminating;
  std::atomic<bool> m_initialised;
  IFOSRcLocalMutex m_listMutex;
  IFOSRcLocalMutex m_collectionMutex;
  IFOSRcLocalEvent m_wakeUp;
  IFOSRcThread m_thread;
  GarbageCollectorThread m_executor;
};

// GarbageCollector::getInstance()->init() / terminate().
KAV_EXPORT void initGarbageCollector();
KAV_EXPORT void terminateGarbageCollector();

#endif
