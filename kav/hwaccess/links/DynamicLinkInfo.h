// The part of a link whose target lives on a card that comes and goes: the
// slot it follows, its registrations for that slot's configuration-change
// events and the owner's callback.
#ifndef KAV_HWACCESS_DYNAMICLINKINFO_H
#define KAV_HWACCESS_DYNAMICLINKINFO_H

#include "kav/events/ConfigChangeEvent.h"
#include "kav/events/EventRouter.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"

class LinkBase;
class LinkCallBackBase;

class KAV_EXPORT DynamicLinkInfo {
 public:
  // The registration token of no registration (0xFFFFFFFF on the target).
  static const long NOT_REGISTERED = -1;

  DynamicLinkInfo(LinkBase* owner, unsigned int slotId);
  virtual ~DynamicLinkInfo();
  DynamicLinkInfo(const DynamicLinkInfo&) = delete;
  DynamicLinkInfo& operator=(const DynamicLinkInfo&) = delete;

  unsigned int getSlotId() const { return m_slotId; }
  // The owner's handleConfigEvent for configure events and
  // handleUnconfigEvent for unconfigure events of the slot.
  ErrorData registerEvents();
  void deregisterEvents();
  bool isRegistered() const { return m_configRegistration != NOT_REGISTERED || m_unconfigRegistration != NOT_REGISTERED; }
  // Stores a copy of the callback when none is stored.
  bool registerCallBack(const LinkCallBackBase& callBack);
  void deleteCallBack();
  bool hasCallBack() const { return m_pCallBack != nullptr; }
  // Runs the stored callback.
  void valueChanged() const;

 private:
  LinkBase* m_pOwner;
  unsigned int m_slotId;
  long m_configRegistration;
  long m_unconfigRegistration;
  EventRouter<ConfigChangeEvent> m_router;
  LinkCallBackBase* m_pCallBack;
};

#endif
