// A plug detector of a slot: knows whether a card sits in the slot and, once
// armed, reports each change as a PlugEvent (slot id, plug detect id, plug or
// unplug). A detector waits either for a plug or for an unplug; the FRU
// builder re-arms it for the opposite change after each event.
#ifndef KAV_CARDS_PLUGDETECTHWRINTERFACE_H
#define KAV_CARDS_PLUGDETECTHWRINTERFACE_H

#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

namespace rpt {
// Where a detector's signal comes from; nothing useful for detectors whose
// state is set from outside.
struct LinkInfo_t {
  unsigned int slotId;
  unsigned int plugDetectId;
};
}  // namespace rpt

class KAV_EXPORT PlugDetectHwrInterface : public AtomicBase {
  KAV_TREE_CLASS(PlugDetectHwrInterface)

 public:
  enum plugState_t : unsigned int { UNPLUGGED = 1, PLUGGED = 2 };

  PlugDetectHwrInterface();
  ~PlugDetectHwrInterface() override;

  // The plug detect id (attribute "plugDetectId").
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  unsigned int getPlugDetectId() const { return m_plugDetectId; }
  void setPlugDetectId(unsigned int id) { m_plugDetectId = id; }

  // Arm for a plug / for an unplug; a state that already is the awaited one
  // is reported at once.
  virtual BaseErrorData enablePlug() = 0;
  virtual BaseErrorData enableUnplug() = 0;
  virtual BaseErrorData readPlugState(plugState_t& state) const = 0;
  virtual BaseErrorData getRptData(rpt::LinkInfo_t& info);
  virtual BaseErrorData setPlugState(plugState_t state) = 0;

 protected:
  // PlugEvent(getSlotId(), plug detect id, plug / unplug).
  void sendPlugEvent();
  void sendUnplugEvent();

 private:
  unsigned int m_plugDetectId;
};

#endif
