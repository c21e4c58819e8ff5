// The delayed build of a slot's content: runs FruBuilder::synchFruBuild with
// the object set on the timed executor's job thread. The job keeps the
// builder alive until it has run.
#ifndef KAV_CARDS_ASYNCHFRUBUILDER_H
#define KAV_CARDS_ASYNCHFRUBUILDER_H

#include "kav/cards/FruBuilder.h"
#include "kav/runtime/TimedJob.h"

class AsynchFruBuilder : public TimedJob {
 public:
  AsynchFruBuilder(KavPtr<FruBuilder> builder, const FruBuilder::ObjectSet_t& objects);
  ~AsynchFruBuilder() override;
  void execute() override;

 private:
  KavPtr<FruBuilder> m_builder;
  FruBuilder::ObjectSet_t m_objects;
};

#endif
