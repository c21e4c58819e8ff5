// A state table kept twice: every field lives in two replicas, in two Ram
// objects that may sit on different cards (attributes "ramInstanceName<i>"
// and "ramSlotId<i>", i = 0, 1; slot id 0 or none: not on a pluggable slot,
// the Ram is searched in this object's own tree). Writes go to replica 0,
// then to replica 1; the administration byte (field 360) of each replica
// records how far a write got:
//   bit 0  a write to this replica is in progress
//   bit 1  the replica holds table content
//   bit 2  the replica holds data its partner does not have
// A consistency run (when the table becomes available, and when a replica
// comes back) reads both bytes and repairs the pair by the decision table:
// the replica with bit 0 or bit 2 set is the more recent one. The table
// keeps working on one replica while the other is missing or failed.
#ifndef KAV_CARDS_REDUNDANTSTATETABLE_H
#define KAV_CARDS_REDUNDANTSTATETABLE_H

#include <utility>

#include "kav/cards/StateTableInterface.h"
#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/ConfigCompleteEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/tree/objects/KavPtr.h"

class BuildBase;

class KAV_EXPORT RedundantStateTable : public StateTableInterface {
  KAV_TREE_CLASS(RedundantStateTable)

 public:
  static constexpr unsigned int kReplicaCount = 2;
  static constexpr unsigned int kAdminFieldId = 360;

  // The actions of the decision table.
  enum SynchAction_t : unsigned int {
    SYNCH_INIT_TABLE = 0,
    SYNCH_COMPARE = 1,
    SYNCH_COPY_0_TO_1 = 2,
    SYNCH_COPY_1_TO_0 = 3,
    SYNCH_INCONSISTENT = 4
  };
  // Row: administration state (byte modulo 8) of replica 0; column: of replica 1.
  static const unsigned int g_synchActionsDecisionTable[8][8];

  // One pending write, performed replica by replica.
  class KAV_EXPORT WriteAction {
   public:
    WriteAction(RedundantStateTable* table, unsigned int fieldId, unsigned char* data, unsigned char* mask,
                unsigned int size, unsigned int offset);
    ErrorData write(unsigned int replica) const;

   private:
    unsigned char m_masked;
    RedundantStateTable* m_pTable;
    unsigned int m_fieldId;
    unsigned char* m_pData;
    unsigned char* m_pMask;  // null for a plain write
    unsigned int m_size;
    unsigned int m_offset;
  };

  RedundantStateTable();
  ~RedundantStateTable() override;

  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 7 registers the events.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 2 deregisters them; step 5 drops the Ram objects.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                      unsigned int offset) const override;
  ErrorData writeField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) override;
  ErrorData writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask, unsigned int size,
                               unsigned int offset) override;
  ErrorData getFieldIds(kavstl::vector<unsigned int>* fieldIds) const override;
  ErrorData getFieldSize(unsigned int fieldId, unsigned int* size) const override;

  // Called after the table was initialised; nothing here.
  virtual void initTableContent();
  // Logs 0x7264 and initialises the table.
  virtual void handleContentInconsistency();
  virtual void tableIsNowAvailable();
  virtual void tableIsNowUnavailable();
  // Direct access to one replica's Ram: 0x7263 when it is not functional
  // (the replica stays as it is); a replica error marks it invalid.
  virtual ErrorData writeFieldWithMaskSingleReplica(unsigned int replica, unsigned int fieldId,
                                                    const unsigned char* data, const unsigned char* mask,
                                                    unsigned int size, unsigned int offset);
  ErrorData readFieldSingleReplica(unsigned int replica, unsigned int fieldId, unsigned char* buf,
                                   unsigned int size, unsigned int offset);
  ErrorData writeFieldSingleReplica(unsigned int replica, unsigned int fieldId, const unsigned char* buf,
                                    unsigned int size, unsigned int offset);

  bool isTableAvailable() const;
  // tableIsNowAvailable() and a ComponentReadyEvent with the instance id.
  void tableAvailable();

  void handleConfigChangeEvent(const ConfigChangeEvent& event);
  void handleMinimumConfigCompleteEvent(const ConfigCompleteEvent& event);

  // Under the guard, before every read and write.
  ErrorData checkAvailability();
  ErrorData ensureReplicaConsistency();

  // The action for a pair of administration states (each taken modulo 8).
  static unsigned int synchAction(unsigned int state0, unsigned int state1);

  // Read-only views for diagnostics; each takes the table's guard, since
  // the event thread changes the replica records.
  unsigned int getTableId() const { return m_tableId; }
  unsigned int getAvailableReplicas() const;
  unsigned int getFunctionalReplicas() const;
  bool isReplicaFunctional(unsigned int replica) const;
  bool isReplicaInvalid(unsigned int replica) const;
  bool isChecked() const;
  unsigned int getReplicaSlotId(unsigned int replica) const;
  unsigned int getReplicaRamName(unsigned int replica) const;

 private:
  struct Replica_s {
    unsigned int slotId;
    unsigned int ramName;
    KavPtr<Ram> ram;
    unsigned char functional;
    unsigned char invalid;
    unsigned char available;
    unsigned char errorLogged;
    long registrationId;
  };
  typedef std::pair<unsigned int, unsigned int> FieldInfo_t;  // field id, size

  ErrorData readFieldImpl(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset);
  ErrorData redundantWrite(WriteAction& action);
  // `configuring`: called for the slot's configure event, which may reach
  // this table before the container list has taken the slot's content.
  ErrorData getRam(unsigned int slotId, unsigned int ramName, unsigned char* logged, KavPtr<Ram>* ram,
                   bool configuring) const;
  ErrorData connectReplica(unsigned int replica, bool configuring = false);
  void disconnectReplica(unsigned int replica);
  ErrorData readOrCompareContentInfo(const KavPtr<Ram>& ram);
  ErrorData compareContentInfo(const KavPtr<Ram>& ram) const;
  void setInvalid(unsigned int replica, const ErrorData& error);
  void checkSetInvalid(unsigned int replica, const ErrorData& error);
  ErrorData compareReplicaOfAllFields();
  ErrorData copyReplica(unsigned int from, unsigned int to);
  void initTable();
  void registerEvents();
  void deregisterEvents();
  void unlinkTreeElements();
  // Both logs carry the same text and source; the first goes with severity 2.
  static void logError(ErrorData error, unsigned int line);
  static void logInfo(ErrorData error, unsigned int line);

  EventRouter<ConfigChangeEvent>* m_pConfigChangeRouter;
  EventRouter<ConfigCompleteEvent>* m_pConfigCompleteRouter;
  long m_minConfigCompleteRegistrationId;
  Replica_s m_replicas[kReplicaCount];
  unsigned char m_checked;
  unsigned char m_synchronising;
  unsigned int m_availableReplicas;
  unsigned int m_functionalReplicas;
  unsigned int m_tableId;
  kavstl::vector<FieldInfo_t> m_fields;
};

extern "C" KAV_EXPORT BuildBase* createRedundantStateTable(void* argument, BaseErrorData& rc);

#endif
