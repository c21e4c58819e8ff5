// Collects the status changes the oscillator objects report (a hardware
// switch-over, a lost synchronisation, a chip's alarm, a power-good change,
// a card going away) and, 2000 ms after the first of a round, turns the
// round into one log entry with primary key "OscStatusH"; several changes
// close together so give one entry. It also runs the disabling of a failed
// card on the job thread, so that an interrupt handler never selects an
// oscillator itself.
//
// One lives in the base domain's content; getInstance() finds it in the
// tree on first use and keeps it until destroyInstance() (library stop).
//
// The queue, the pending flags and the per-slot events are guarded by the
// handler's own lock. Two events let callers wait: the status event is set
// while no status change is pending and no disable runs; a slot's event
// while no disable of the slot is pending.
#ifndef KAV_CLOCK_OSCILLATORSTATUSHANDLER_H
#define KAV_CLOCK_OSCILLATORSTATUSHANDLER_H

#include <memory>

#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT OscillatorStatusHandler : public AtomicBase {
  KAV_TREE_CLASS(OscillatorStatusHandler)

 public:
  // What a change is: only text for the report, a warning or an error.
  enum ChangeKind_t : unsigned int { REPORT_ONLY = 0, WARNING = 1, ERROR = 2 };

  struct StatusChangeDesc_t {
    unsigned int slotId;
    kavstl::string text;
    unsigned int changeKind;  // ChangeKind_t
  };

  // The card sets (kavosc::OscCardSet_t).
  static constexpr unsigned int kOscCardSetA = 0x10;
  static constexpr unsigned int kOscCardSetB = 0x20;

  // The delay from the first change of a round to its report.
  static constexpr unsigned int kReportDelayMs = 2000;
  // The abend time of the handler's jobs.
  static constexpr unsigned int kJobAbendMs = 40000;
  // The code of the report.
  static constexpr unsigned int kStatusReport = 0x7014;

  OscillatorStatusHandler();
  ~OscillatorStatusHandler() override;

  // The handler of the tree (null when it has none).
  static KavPtr<OscillatorStatusHandler> getInstance();
  static void destroyInstance();

  // Queues the change; the first of a round schedules the report.
  void notifyStatusChange(const StatusChangeDesc_t& desc);
  // Has the oscillator handler disable the card set or the card (nothing in
  // debug mode; 0x7002 without oscillator handler).
  ErrorData disableCardSet(unsigned int oscCardSet);
  ErrorData disableCard(unsigned int slotId);
  // disableCard on the job thread; nothing in debug mode or while one for
  // the slot is pending.
  void disableCardAsync(unsigned int slotId);
  // Wait until no disable of the slot is pending / no report is pending
  // and no disable runs.
  void blockOnDisableCardAsyncPending(unsigned int slotId);
  void blockOnStatusChangePending();
  // The report job: the queued changes as one log entry.
  void handleStateChangeEventPending();
  // The adapter's clock debug collection, unless a report is pending.
  void collectDebugInfo();
  void setDebugMode(bool debugMode);
  bool isDebugMode() const;
  bool isStatusChangePending() const;
  bool isDisableCardAsyncPending(unsigned int slotId) const;

  // The end of a DisableCardAsyncHandler: the slot's disable is no longer
  // pending.
  void finishDisableCardAsync(unsigned int slotId);

  // The report of the queued changes: its text, secondary key and the slot
  // id it names (0 for none).
  static void buildReport(const kavstl::list<StatusChangeDesc_t>& changes, kavstl::string& text,
                          kavstl::string& secondaryKey, unsigned int& slotId);

 private:
  // The oscillator handler's operation for the slot or the set.
  ErrorData callDisableCard(unsigned int slotId);
  ErrorData callDisableCardSet(unsigned int oscCardSet);

  kavstl::list<StatusChangeDesc_t> m_statusChangeQueue;
  bool m_statusChangePending;
  bool m_disableInProgress;
  IFOSRcLocalEvent m_noStatusChangePendingEvent;
  kavstl::map<unsigned int, bool> m_disablePending;
  kavstl::map<unsigned int, std::shared_ptr<IFOSRcLocalEvent>> m_slotEvents;
  bool m_debugMode;
};

extern "C" KAV_EXPORT BuildBase* createOscillatorStatusHandler(void* argument, BaseErrorData& error);

#endif
