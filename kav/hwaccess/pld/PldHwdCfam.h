// The programmable logic of a CFAM, behind its digital I/O engine (its single
// DioHwaInterfaceLink hidden child): writes the configuration words of its
// PldHwdData hidden children at init step 14 and forwards lookup-table
// controls to the engine.
#ifndef KAV_HWACCESS_PLDHWDCFAM_H
#define KAV_HWACCESS_PLDHWDCFAM_H

#include "kav/hwaccess/pld/PldHwdInterface.h"
#include "kav/tree/objects/KavPtr.h"

class DioHwaInterfaceLink;

class KAV_EXPORT PldHwdCfam : public PldHwdInterface {
  KAV_TREE_CLASS(PldHwdCfam)

 public:
  PldHwdCfam();
  ~PldHwdCfam() override;

  // Step 3: linkTreeElements; step 14: setPld.
  BaseErrorData init(initSequence::Id_t step) override;
  // Step 5: unlinkTreeElements.
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  // The engine link; 0x7341 without a single one.
  ErrorData linkTreeElements();
  void unlinkTreeElements();
  // Writes every configuration word in list order; the first failure is
  // the result.
  ErrorData setPld();
  // 0x7340 without an engine behind the link.
  ErrorData setConfig(unsigned int pldId, unsigned short config) const;
  ErrorData writeLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const override;
  ErrorData readLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const override;

 private:
  // The engine, or null with 0x7340 in err (traced).
  KavPtr<DioHwaInterface> engine(const char* what, ErrorData& err) const;

  KavPtr<DioHwaInterfaceLink> m_dioHwaLink;
};

extern "C" KAV_EXPORT BuildBase* createPldHwdCfam(void* argument, BaseErrorData& error);

#endif
