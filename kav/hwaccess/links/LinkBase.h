// A link: the child object through which a tree object reaches another one
// (an engine, a device) by instance name. The scope (attribute "scope")
// says where the target is searched:
//   ScopeContainer        the enclosing container,
//   ScopeParentContainer  the container above the enclosing one,
//   any other name        the id-provider key whose value is a slot id: the
//                         target lives in that slot's content, which comes
//                         and goes (dynamic link).
// The target's instance name is "targetInstanceName", or, without it,
// <engineType>-Link_<hwaId>-Engine_<engineId> from those attributes.
//
// A static link is bound at init step 3. A dynamic link is bound at step 7
// and rebound on every configure and unconfigure event of its slot; each
// rebinding runs the callback its owner registered.
#ifndef KAV_HWACCESS_LINKBASE_H
#define KAV_HWACCESS_LINKBASE_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/search/InstanceNameCriteria.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/TreeSearch.h"

class DynamicLinkInfo;
class LinkCallBackBase;

class KAV_EXPORT LinkBase : public QueryBase {
  KAV_TREE_CLASS(LinkBase)

 public:
  LinkBase();
  ~LinkBase() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 3: initContainer. Step 7, dynamic link: registration and binding.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2, dynamic link: deregistration. Step 5: unbinding.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // True when stored: only a dynamic link stores one callback.
  virtual bool registerCallBack(LinkCallBackBase& callBack);
  virtual void deleteCallBack();
  // Searches the target in the container; true when it changed.
  virtual bool updateLinkTarget() = 0;

  bool isDynamicLink() const;
  // The slot a dynamic link follows (0xFFFFFFFF for a static link).
  unsigned int getDynamicSlotId() const;

  ErrorData initContainer();
  // Stores the container, searches the target and, for a dynamic link, runs
  // the callback.
  void setContainer(KavPtr<Container> container);
  KavPtr<Container> getContainer() const;

  void handleConfigEvent(const ConfigChangeEvent& event);
  void handleUnconfigEvent(const ConfigChangeEvent& event);

  unsigned int getScopeId() const { return m_scopeId; }
  unsigned int getTargetInstanceName() const { return m_targetInstanceName; }
  void setScopeId(unsigned int scopeId) { m_scopeId = scopeId; }
  void setTargetInstanceName(unsigned int name) { m_targetInstanceName = name; }

 protected:
  // The single T with the target instance name in the container's subtree,
  // or null (also without container). Call under the link's lock.
  template <class T>
  KavPtr<T> findTarget() const {
    if (m_container == nullptr) return KavPtr<T>();
    ExecList<T> candidates = collectClasstypeInSubTree<T>(KavPtr<const QueryBase>(m_container), true);
    candidates.keepAllForCriteria(InstanceNameCriteria(m_targetInstanceName));
    return candidates.getSingleton(false);
  }

 private:
  unsigned int m_scopeId;
  DynamicLinkInfo* m_pDynamicLinkInfo;
  unsigned int m_targetInstanceName;
  KavPtr<Container> m_container;
};

#endif
