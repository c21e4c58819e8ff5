// Re-arming of a chip's alarm lines: digital inputs, active while the chip
// holds an error condition, whose one-shot interrupt requests wait for the
// active level. After an interrupt a line that has gone inactive is armed
// again at once. One that is still active is held instead: armed, it would
// interrupt again at once, without end, for as long as the condition lasts.
// A job on the job thread, kRearmDelayMs later (at the process's time
// scale), hands the owner its re-arm run: clear the chip's error flags and
// try the held lines again; the owner schedules the job again while one
// stays held.
//
// The state is the owner's: its lock guards it.
#ifndef KAV_CLOCKCHIPS_ALARMLINEREARM_H
#define KAV_CLOCKCHIPS_ALARMLINEREARM_H

#include "kav/hwaccess/dio/DioHwrInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/QueryBase.h"

class AlarmLineRearm {
 public:
  // The owner's re-arm run, on the job thread; not called once the owner is
  // deleted.
  typedef void (*RearmRun_t)(QueryBase& owner);

  // The delay of the re-arm job.
  static const unsigned int kRearmDelayMs = 1000;

  AlarmLineRearm(QueryBase& owner, RearmRun_t run);
  ~AlarmLineRearm();
  AlarmLineRearm(const AlarmLineRearm&) = delete;
  AlarmLineRearm& operator=(const AlarmLineRearm&) = delete;

  // Clears the line's latched condition and requests its interrupt for the
  // on level again. A line whose condition stays latched never interrupts
  // again, whatever is requested.
  static ErrorData arm(const KavPtr<DioHwrInterface>& line);
  // Arms line `index` (0..31, the bit of it in getHeldLines()) unless it is
  // still active; then it is held. No line: 0x7000.
  ErrorData rearmOrHold(unsigned int index, const KavPtr<DioHwrInterface>& line, bool& held);
  // Schedules the job unless one is pending or the owner is deleted.
  void scheduleRearm();
  // Drops a pending job and ends the holding of every line.
  void cancelRearm();
  // The start of a re-arm run: the job is no longer pending. Returns the
  // lines held.
  unsigned int startRearm();
  unsigned int getHeldLines() const;

 private:
  QueryBase& m_owner;
  RearmRun_t m_run;
  unsigned int m_heldLines;
  unsigned int m_rearmJobId;  // 0: none pending
};

#endif
