#include "kav/clock/osc/DynamicOscillatorStartupJob.h"

#include "kav/clock/osc/DynamicOscillatorHandler.h"

DynamicOscillatorStartupJob::DynamicOscillatorStartupJob(const KavPtr<DynamicOscillatorHandler>& handler)
    : m_pHandler(handler) {}

DynamicOscillatorStartupJob::~DynamicOscillatorStartupJob() {}

void DynamicOscillatorStartupJob::execute() {
  if (m_pHandler != nullptr && !m_pHandler->isDeleted()) m_pHandler->runStartup();
}
