// Debug injection of events: sources registered under a debug id can be
// sent events by a debug client. The library itself never sends through it.
#ifndef KAV_EVENTS_EVENTDEBUG_H
#define KAV_EVENTS_EVENTDEBUG_H

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

class BaseEventSource;
class IFOSRcLocalMutex;

// The tag of a source with EventDebug; 0: not registered.
enum DebugIdSource_t : int {
  DEBUG_ID_NONE = 0,
  DEBUG_ID_PLUG_EVENT = 2,
  DEBUG_ID_CONFIG_CHANGE_EVENT = 3,
  DEBUG_ID_DIO_EVENT = 4,
  DEBUG_ID_COMPONENT_READY_EVENT = 7
};

class KAV_EXPORT EventDebug {
 public:
  typedef void (*SendFunction_t)(BaseEventSource const* source, void* data, void const* filter);

  struct SourceRegistryEntry {
    DebugIdSource_t debugId;
    BaseEventSource* source;
    SendFunction_t send;
  };

  static EventDebug* getInstance();
  static void destroyInstance();

  void registerSource(BaseEventSource* source, SendFunction_t send, DebugIdSource_t debugId);
  // Removes every entry of the source.
  void deleteSource(BaseEventSource* source);
  // Calls the send function of every entry with that id; the number called.
  // A null filter sends to the any-registrations.
  static unsigned int sendEvent(DebugIdSource_t id, void* data, void* filter);

  unsigned int getNumberOfEntries(DebugIdSource_t id);

 private:
  EventDebug();
  ~EventDebug();
  unsigned int send(DebugIdSource_t id, void* data, void* filter);

  IFOSRcLocalMutex* m_pMutex;
  kavstl::vector<SourceRegistryEntry> m_entries;
};

#endif
