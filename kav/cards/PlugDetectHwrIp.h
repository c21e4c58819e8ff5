// A plug detector whose state is set from outside (kav::send_card_plug for
// the cards, kav::start / kav::stop for the base domain). A state change is
// reported when the detector waits for it; a change made before the detector
// is armed is held and reported when it is armed.
#ifndef KAV_CARDS_PLUGDETECTHWRIP_H
#define KAV_CARDS_PLUGDETECTHWRIP_H

#include "kav/cards/PlugDetectHwrInterface.h"

class KAV_EXPORT PlugDetectHwrIp : public PlugDetectHwrInterface {
  KAV_TREE_CLASS(PlugDetectHwrIp)

 public:
  PlugDetectHwrIp();
  ~PlugDetectHwrIp() override;

  BaseErrorData enablePlug() override;
  BaseErrorData enableUnplug() override;
  BaseErrorData readPlugState(plugState_t& state) const override;
  // Stores a changed state and reports it when the detector waits for it.
  BaseErrorData setPlugState(plugState_t state) override;

  // True while the detector waits for a plug.
  bool isWaitingForPlug() const;

 private:
  plugState_t m_plugState;
  // 1: waits for a plug; 0: waits for an unplug (or is not armed yet).
  unsigned char m_plugArmed;
};

extern "C" KAV_EXPORT BuildBase* createPlugDetectHwrIp(void* argument, BaseErrorData& error);

#endif
