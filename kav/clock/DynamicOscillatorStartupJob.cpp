#include "kav/clock/DynamicOscillatorStartupJob.h"

#include "kav/clock/DynamicOscillatorHandler.h"

DynamicOscillatorStartupJob::DynamicOscillatorStartupJob(const KavPtr<DynamicOscillatorHandler>& handler)
    : m_pHandler(handler) {}

DynamicOscillatorStartupJob::~DynamicOscillatorStartupJob() {}

void DynamicOscillatorStartupJob::execute() {
  if (m_pHandler != nullptr && !m_pHandler->isDeleted()) m_pHandler->runStartup();
}
