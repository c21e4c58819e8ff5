// Decides which oscillator card set drives the clocks and how. A selection
// (card set 0x10 or 0x20, selection mode 1 redundant or 2 alone) is checked
// against the current one and against what the sets can do, then written as
// modes to both sets; the selection byte
//   bit 7 selection in progress, bits 4..5 card set, bits 0..3 mode
// is kept in the redundant state table (field CurrentOscSelection, and
// PreferredOscSelection for a preferred selection) so that a selection that
// was interrupted is completed at the next start:
//   byte  set A mode  set B mode
//   0x11  1           2
//   0x12  3           4
//   0x21  2           1
//   0x22  4           3
// Allowed changes: 0x00 to any; 0x11 or 0x21 to 0x12 or 0x22; 0x12 to 0x11;
// 0x22 to 0x21.
//
// A failed card set is disabled by selecting the other set alone, when the
// selection was redundant.
//
// Selections are serialised: one from the interface caller, one from the
// disabling on the job thread and the start-up's completion never overlap.
#ifndef KAV_CLOCK_DYNAMICOSCILLATORHANDLER_H
#define KAV_CLOCK_DYNAMICOSCILLATORHANDLER_H

#include <mutex>

#include "kav/cards/PowerControllable.h"
#include "kav/cards/StateTableInterface.h"
#include "kav/clock/osc/OscCardSet.h"
#include "kav/clock/kavosc.h"
#include "kav/events/ComponentReadyEvent.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/tree/start/ExecList.h"

class KAV_EXPORT DynamicOscillatorHandler : public PowerControllable {
  KAV_TREE_CLASS(DynamicOscillatorHandler)

 public:
  static constexpr unsigned char kInProgress = 0x80;

  DynamicOscillatorHandler();
  ~DynamicOscillatorHandler() override;

  // 3 links the two card sets and the redundant state table of the
  // domain (0x7002 each missing), 7 registers for the events.
  BaseErrorData init(initSequence::Id_t step) override;
  // 2 deregisters, 5 unlinks.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  static unsigned char convertToOscSelectionByte(unsigned int set, unsigned int mode, bool inProgress);

  ErrorData selectOscillator(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode, bool preferred);
  ErrorData checkSelectOscillator(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode);
  static ErrorData checkForValidSelection(unsigned char current, unsigned char next);
  ErrorData checkForValidMode(unsigned char next);
  ErrorData prepareSelectOscillator(ExecList<ClockDomain>& domains, unsigned char next);
  ErrorData finalizeSelectOscillator(ExecList<ClockDomain>& domains, unsigned char next);
  ErrorData disableCardSet(kavosc::OscCardSet_t failed);
  ErrorData disableCard(unsigned int slotId);
  KavPtr<OscCardSet> getOscCardSetForSlotId(unsigned int slotId) const;
  KavPtr<OscCardSet> getOscCardSetWithMode(kavosc::OscSetMode_t mode) const;
  bool hasOscCardSetMode(kavosc::OscSetMode_t mode) const;
  ErrorData checkReady() const;

  ErrorData readOscSelectionByteFromRedundantStateTable(unsigned int field, unsigned char& value) const;
  ErrorData writeOscSelectionByteToRedundantStateTable(unsigned int field, unsigned char value);
  ErrorData readDebugModeFromRedundantStateTable(bool& debugMode) const;
  ErrorData writeDebugModeToRedundantStateTable(bool debugMode);
  ErrorData setDebugMode(bool debugMode);

  ErrorData handleStartup();
  ErrorData handleDebugModeState();
  ErrorData handleUncompletedModeChanges();
  void handleComponentReadyEvent(const ComponentReadyEvent& event);
  void handleConfigCompleteEvent(const ConfigCompleteEvent& event);
  // The start-up on the job thread.
  void runStartup();

  ErrorData switchForPwrCtrl(unsigned int sequence, unsigned int step) override;
  ErrorData checkPrecondition(unsigned int sequenceId, SequenceType_t type) override;

  // Both sets (0x700B when one is missing): the selections (0x7012 when
  // one could not be read), then the cards of A and B and both controls.
  ErrorData readRedundantOscStatus(kavosc::RedundantOscillatorStatus_t& status);
  ErrorData readSynchLostCounts(kavosc::OscCardSet_t set, unsigned int group, kavstl::vector<unsigned int>& counts);
  ErrorData setPropagationMode(kavosc::OscCardSet_t set, unsigned int group,
                               const kavstl::vector<kavosc::SwitchoverPropagationMode_t>& modes);
  ErrorData disableAllPropagation();

  bool isStartupDone() const;
  unsigned int getPreviousOscCardSet() const;
  KavPtr<OscCardSet> getOscCardSet(kavosc::OscCardSet_t set) const;

 private:
  ErrorData selectOscillatorLocked(kavosc::OscCardSet_t set, kavosc::OscSelectionMode_t mode, bool preferred);
  ErrorData writeModes(unsigned char next, unsigned char previous);
  BaseErrorData registerEvents();
  void deregisterEvents();
  void startupIfReady();

  bool m_startupDone;
  bool m_componentReady;
  bool m_configComplete;
  bool m_startupScheduled;
  bool m_startupRunning;  // the start-up job holds the selection lock
  bool m_powerTransition;
  bool m_debugMode;
  KavPtr<OscCardSet> m_pOscCardSetA;
  KavPtr<OscCardSet> m_pOscCardSetB;
  KavPtr<StateTableInterface> m_pRedundantStateTable;
  unsigned int m_previousOscCardSet;
  unsigned int m_lastSelectionSeconds;
  unsigned int m_lastSelectionMicroseconds;
  // Held across a whole selection (and the start-up that may run one).
  mutable std::recursive_mutex m_selectionLock;
  EventRouter<ComponentReadyEvent> m_componentReadyRouter;
  EventRouter<ConfigCompleteEvent> m_configCompleteRouter;
  long m_componentReadyRegId;
  long m_configCompleteRegId;
};

extern "C" KAV_EXPORT BuildBase* createDynamicOscillatorHandler(void* argument, BaseErrorData& error);

#endif
