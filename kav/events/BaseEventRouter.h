// The part of an event router that the sources see.
#ifndef KAV_EVENTS_BASEEVENTROUTER_H
#define KAV_EVENTS_BASEEVENTROUTER_H

class BaseEventSource;

class BaseEventRouter {
 public:
  BaseEventRouter();
  virtual ~BaseEventRouter();
  // Rebuilds the event from the payload and runs the registration's callback.
  virtual void createEvent(const unsigned char* data, long id) = 0;
  // The source is going away: clears it in every registration.
  virtual void notify(BaseEventSource* source) = 0;
  virtual long deregisterFromEvent(long id) = 0;
  virtual long quiesceEvent(long id) = 0;
  virtual long wakeUpEvent(long id) = 0;

  BaseEventRouter(const BaseEventRouter&) = delete;
  BaseEventRouter& operator=(const BaseEventRouter&) = delete;

  // What a source sends with id -1 when it goes away.
  struct GoingAwayRecord {
    BaseEventSource* source;
    long id;
  };

  // The single entry from a source: an id not negative delivers the
  // payload to that registration; a negative id carries a GoingAwayRecord.
  // Returns 0.
  long receiveEVData(const unsigned char* data, long size, long id, long timeout);
};

#endif
