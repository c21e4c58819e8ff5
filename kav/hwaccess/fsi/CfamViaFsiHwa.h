// The hardware-access factory of one CFAM on an FSI link: it asks the FSI
// master for the engines behind the CFAM (physical link and cascade from the
// configuration), numbers them per engine type in ascending engine number,
// and creates one hardware-access object per requested engine as its child.
//
// Event-driven build-up (attribute "eventDrivenBuildUp") only traces: no
// engine object is created in that mode. The pending-plug bookkeeping exists
// for it; waitForPendingPlugs returns at once.
#ifndef KAV_HWACCESS_CFAMVIAFSIHWA_H
#define KAV_HWACCESS_CFAMVIAFSIHWA_H

#include <string>

#include "kav/hwaccess/fsi/FsiEngineInfo.h"
#include "kav/hwaccess/fsi/HwaFactory.h"
#include "kav/hwaccess/edal/edalFsi.h"
#include "kav/runtime/IFOSRcLocalEvent.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT CfamViaFsiHwa : public HwaFactory<edalFsi::engineInfo_t> {
  KAV_TREE_CLASS(CfamViaFsiHwa)

 public:
  CfamViaFsiHwa();
  ~CfamViaFsiHwa() override;

  // "physicalLinkNumber", "physicalCascadeId" (default 0xFFFFFFFF each) and
  // "eventDrivenBuildUp" (default false), besides the base attributes.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // The base steps; step 1 waits for pending plugs.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 4 drops the device data.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // Reads the engine list once, then creates the requested engines that
  // exist. Errors accumulate, the first stays.
  ErrorData createEngine(const kavstl::set<EngineInfo>& engines) override;
  ErrorData readHwConfig();
  // Records the engine under its engine type; raw types without a mapping
  // are not recorded.
  ErrorData addAvailEngine(const edalFsi::engineInfo_t& engine);
  ErrorData createOpenImmediatelyEngine(const FsiEngineInfo& info);
  ErrorData createEventDrivenBuildupEngine(const FsiEngineInfo& info);
  ErrorData addPendingPlug(long irqId);
  ErrorData removePendingPlug(long irqId);
  ErrorData waitForPendingPlugs();
  // err = rc with the CFAM failure text and key "FSI_CFAM_ACCESS"; the first
  // failure of this object is logged, later ones only marked logged.
  ErrorData handleError(ErrorData& err, unsigned long rc, std::string& msg);

  // The engine type a raw FSI engine type maps to; ENGINE_NONE for none.
  static EngineInfo::engineType_t mapRawEngineType(unsigned int rawType);

  unsigned int getPhysLinkNumber() const { return m_physLinkNumber; }
  unsigned int getPhysCascadeId() const { return m_physCascadeId; }
  bool isEventDrivenBuildup() const { return m_eventDrivenBuildup; }
  void setPhysicalPosition(unsigned int link, unsigned int cascade) {
    m_physLinkNumber = link;
    m_physCascadeId = cascade;
  }
  void setEventDrivenBuildup(bool on) { m_eventDrivenBuildup = on; }
  unsigned int getPendingPlugCount() const;
  // Whether the pending-plug event is posted (no plug pending any more).
  bool isPendingPlugEventPosted();

 private:
  // A child engine object with that instance name exists.
  bool hasEngine(unsigned int instanceNameId) const;

  unsigned int m_physLinkNumber;
  unsigned int m_physCascadeId;
  bool m_eventDrivenBuildup;
  kavstl::set<long> m_pendingPlugs;
  IFOSRcLocalEvent m_pendingPlugEvent;
};

extern "C" KAV_EXPORT BuildBase* createCfamViaFsiHwa(void* argument, BaseErrorData& rc);

#endif
