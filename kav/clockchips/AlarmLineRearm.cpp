#include "kav/clockchips/AlarmLineRearm.h"

#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/TimeScale.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimedJob.h"

namespace {

const unsigned int kMissing = 0x7000;

// Hands the owner its re-arm run on the job thread; keeps the owner alive
// until then.
class RearmJob : public TimedJob {
 public:
  RearmJob(const KavPtr<QueryBase>& owner, AlarmLineRearm::RearmRun_t run) : m_owner(owner), m_run(run) {}
  void execute() override {
    if (!m_owner->isDeleted()) m_run(*m_owner);
  }

 private:
  KavPtr<QueryBase> m_owner;
  AlarmLineRearm::RearmRun_t m_run;
};

}  // namespace

AlarmLineRearm::AlarmLineRearm(QueryBase& owner, RearmRun_t run)
    : m_owner(owner), m_run(run), m_heldLines(0), m_rearmJobId(0) {}

AlarmLineRearm::~AlarmLineRearm() {}

ErrorData AlarmLineRearm::arm(const KavPtr<DioHwrInterface>& line) {
  ErrorData rc = line->resetIrqCondition();
  if (rc == 0) rc = line->enableIrq(dioState::DIO_STATE_ON);
  return rc;
}

ErrorData AlarmLineRearm::rearmOrHold(unsigned int index, const KavPtr<DioHwrInterface>& line, bool& held) {
  held = false;
  if (line == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, kMissing);
  dioState::DioState_t state = dioState::DIO_STATE_NONE;
  ErrorData rc = line->read(state);
  if (rc == 0 && state == dioState::DIO_STATE_ON) {
    held = true;
  } else {
    rc = arm(line);
  }
  IFOSGuard<const QueryBase> guard(m_owner);
  const unsigned int bit = 1u << index;
  m_heldLines = held ? (m_heldLines | bit) : (m_heldLines & ~bit);
  return rc;
}

void AlarmLineRearm::scheduleRearm() {
  IFOSGuard<const QueryBase> guard(m_owner);
  if (m_rearmJobId != 0 || m_owner.isDeleted()) return;
  m_rearmJobId = TimedExecutor::getInstance()->insertJob(new RearmJob(KavPtr<QueryBase>(&m_owner), m_run),
                                                         TimeScale::delayMs(kRearmDelayMs), 0, 0);
  KAV_TRACE(KAVT, "AlarmLineRearm: lines 0x%X held, re-arm job %u slot=0x%08X", m_heldLines, m_rearmJobId,
            m_owner.getSlotId());
}

void AlarmLineRearm::cancelRearm() {
  IFOSGuard<const QueryBase> guard(m_owner);
  if (m_rearmJobId != 0) TimedExecutor::getInstance()->deleteJob(m_rearmJobId);
  m_rearmJobId = 0;
  m_heldLines = 0;
}

unsigned int AlarmLineRearm::startRearm() {
  IFOSGuard<const QueryBase> guard(m_owner);
  m_rearmJobId = 0;
  return m_heldLines;
}

unsigned int AlarmLineRearm::getHeldLines() const {
  IFOSGuard<const QueryBase> guard(m_owner);
  return m_heldLines;
}
