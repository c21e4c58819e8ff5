#include "kav/cards/AsynchFruBuilder.h"

#include "kav/runtime/KavTrace.h"

AsynchFruBuilder::AsynchFruBuilder(KavPtr<FruBuilder> builder, const FruBuilder::ObjectSet_t& objects)
    : m_builder(builder), m_objects(objects) {}

AsynchFruBuilder::~AsynchFruBuilder() {}

void AsynchFruBuilder::execute() {
  KAV_TRACE(KAVT, "AsynchFruBuilder::execute job=%u objects=%u", getJobId(),
            static_cast<unsigned int>(m_objects.size()));
  if (m_builder != nullptr) m_builder->synchFruBuild(m_objects);
}
