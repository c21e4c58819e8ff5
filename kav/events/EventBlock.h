// A recursive lock of the event framework over a local mutex of the OS
// layer. The same thread may block it several times (delivery deletes
// registrations while it holds its source's delivery lock).
#ifndef KAV_EVENTS_EVENTBLOCK_H
#define KAV_EVENTS_EVENTBLOCK_H

class IFOSRcLocalMutex;

class EventBlock {
 public:
  // Creates the mutex unlocked; failure ends the process.
  EventBlock();
  ~EventBlock();
  EventBlock(const EventBlock&) = delete;
  EventBlock& operator=(const EventBlock&) = delete;

  // Waits without limit. Both do nothing without a mutex.
  void block();
  void unblock();

  // Blocks for the lifetime of the scope.
  class Scope {
   public:
    explicit Scope(EventBlock& b) : m_block(b) { m_block.block(); }
    ~Scope() { m_block.unblock(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    EventBlock& m_block;
  };

 private:
  IFOSRcLocalMutex* m_pMutex;
};

#endif
