// The node of the object tree. Every object the library models derives from
// QueryBase. A node knows its parent, its children and its hidden children
// (kept in order of addition), its instance name (a string id) and how many
// KavPtr point at it. Objects are taken from one memory pool and deleted only
// by the garbage collector once they have left the tree and nobody refers to
// them any more.
//
// One recursive process-wide lock, g_childListsProtector, guards every child
// list and parent link of the tree; it is held across whole tree walks.
// Per-object serialisation uses the recursive mutex of the nearest AtomicBase
// on the way to the root (requestAccess / mutexRequest).
#ifndef KAV_TREE_QUERYBASE_H
#define KAV_TREE_QUERYBASE_H

#include <atomic>
#include <cstddef>
#include <iosfwd>

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/config/BuildBase.h"
#include "kav/tree/start/InitSequence.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class AttributeInfo;
class IFOSRcLocalMutex;
class MemPool;
template <class T>
class ExecList;

class KAV_EXPORT QueryBase {
 public:
  typedef kavstl::list<KavPtr<QueryBase> > ChildList_t;

  QueryBase();

  static unsigned int staticGetClassId();
  virtual unsigned int getClassId() const;
  virtual bool isInstanceOf(unsigned int classId) const;
  virtual unsigned int getInstanceSize() const;
  virtual ~QueryBase();

  QueryBase(const QueryBase&) = delete;
  QueryBase& operator=(const QueryBase&) = delete;

  // The children list is empty (hidden children do not count).
  virtual bool isLeaf() const;
  // No parent.
  virtual bool isRoot() const;
  // Appends the child to the hidden children when its hidden flag is set,
  // else to the children. Does not set the child's parent. Always 0.
  virtual BaseErrorData addChild(KavPtr<QueryBase> child);
  // Removes every entry equal to the child from the list its hidden flag
  // selects.
  virtual BaseErrorData removeChild(KavPtr<QueryBase> child);
  virtual KavPtr<const QueryBase> getParent() const;
  virtual KavPtr<QueryBase> getParent();
  // mutexRequest(timeout) / mutexRelease() as an error value.
  virtual BaseErrorData requestAccess(int timeout) const;
  virtual BaseErrorData releaseAccess() const;
  // True while a KavPtr points at the node.
  virtual bool isReserved() const;
  // Does nothing at any step; classes act at their steps.
  virtual BaseErrorData init(initSequence::Id_t step);
  // Step 1: marks the node deleted and keeps its slot id. Step 6: leaves the
  // parent and hands the node to the garbage collector.
  virtual BaseErrorData terminate(terminateSequence::Id_t step);
  virtual bool isDeleted() const;
  virtual unsigned int getInstanceId() const;
  // The parent's slot id; a root answers its saved slot id (0 unless set).
  virtual unsigned int getSlotId() const;
  virtual void dumpXml(std::ostream& os) const;
  virtual void showReferenceInformation() const;
  virtual BuildBase* getBuildInterface();
  // Parent from the AttributeInfo, instance name (string id 114), hidden
  // flag (string id 115).
  virtual BaseErrorData setAttributes(const AttributeInfo& info);
  // Copies, taken under the tree lock.
  virtual ChildList_t getChildren() const;
  virtual ChildList_t getHiddenChildren() const;
  // Asks the parent; a node with no AtomicBase above it ends the process.
  // The result is an OS code: 0, 1000 (timed out), or another failure.
  virtual unsigned long mutexRequest(int timeout) const;
  virtual unsigned long mutexRelease() const;

  // Reference counting by KavPtr. Nothing happens when the count reaches 0.
  void requestReference() const;
  void releaseReference() const;
  void requestReference(KavPtrBase* ptr) const;
  void releaseReference(KavPtrBase* ptr) const;
  unsigned int getReferenceCount() const;

  // Sets the parent once: a null argument, or a node that has a parent
  // already, leaves it unchanged.
  void setParent(KavPtr<QueryBase> parent);
  void setInstanceId(unsigned int id);
  bool isHidden() const;
  void setHidden(bool hidden);
  unsigned int getDeletedSlotId() const;
  // The slot id a root reports (and a terminated node keeps).
  void setDeletedSlotId(unsigned int slotId);

  // Terminates the subtree (postfix order, hidden children included) with
  // the card termination steps; the nodes reach the garbage collector at the
  // last step. Answers the first failure.
  BaseErrorData terminateSubTreeAndAddToGarbageCollector();

  // Ordered lists of the subtree, built under the tree lock. With the flag,
  // hidden children are included (after the children of their parent).
  BaseErrorData addToExecListInPrefixOrder(ExecList<QueryBase>& list, bool withHidden);
  BaseErrorData addToExecListInPostfixOrder(ExecList<QueryBase>& list, bool withHidden);
  // Adds only the children appended since the last visit: those whose
  // 1-based position is above the counters; then sets the counters to the
  // list sizes. The node itself is not added.
  BaseErrorData addChildsToExecListInPrefixOrder(ExecList<QueryBase>& list, unsigned int& childrenDone,
                                                 unsigned int& hiddenDone, bool withHidden);
  BaseErrorData addChildsToExecListInPostfixOrder(ExecList<QueryBase>& list, unsigned int& childrenDone,
                                                  unsigned int& hiddenDone, bool withHidden);

  // Tree objects come from one growable pool of 30 KB chunks. The pool is
  // created by initMemoryPool() (or by the first allocation); an oversized
  // object answers null.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* p) noexcept;
  static void initMemoryPool();
  static void terminateMemoryPool();
  static MemPool* getMemoryPool();
  static constexpr unsigned int kPoolChunkKB = 30;

  // The tree lock.
  static IFOSRcLocalMutex& g_childListsProtector;

 protected:
  // Traces the class and ends the process: a tree without mutex owner.
  [[noreturn]] void noMutexOwner(const char* operation) const;

 private:
  BaseErrorData addPrefix(ExecList<QueryBase>& list, bool withHidden);
  BaseErrorData addPostfix(ExecList<QueryBase>& list, bool withHidden);
  using Walk = BaseErrorData (QueryBase::*)(ExecList<QueryBase>&, bool);
  BaseErrorData addNewChildren(Walk walk, ExecList<QueryBase>& list, unsigned int& childrenDone,
                               unsigned int& hiddenDone, bool withHidden);

  KavPtr<QueryBase> m_parent;
  ChildList_t m_children;
  ChildList_t m_hiddenChildren;
  unsigned int m_instanceId;
  mutable std::atomic<unsigned int> m_referenceCount;
  std::atomic<bool> m_isDeleted;
  std::atomic<bool> m_isHidden;
  std::atomic<unsigned int> m_deletedSlotId;
  BuildBase m_buildBase;
};

#endif
