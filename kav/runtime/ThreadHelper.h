// The executor of an Actor's thread: calls the actor's realExecute().
#ifndef KAV_RUNTIME_THREADHELPER_H
#define KAV_RUNTIME_THREADHELPER_H

#include "kav/runtime/IFOSAbstractExecutor.h"

template <class T>
class Actor;

template <class T>
class ThreadHelper : public IFOSAbstractExecutor {
 public:
  explicit ThreadHelper(Actor<T>* actor) : m_pActor(actor) {}
  void execute() const override { m_pActor->realExecute(); }

 private:
  Actor<T>* m_pActor;
};

#endif
