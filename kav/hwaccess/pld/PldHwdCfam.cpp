#include "kav/hwaccess/pld/PldHwdCfam.h"

#include <string>

#include "kav/hwaccess/dio/DioHwaInterfaceLink.h"
#include "kav/hwaccess/pld/PldHwdData.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/HiddenChild.h"

KAV_TREE_CLASS_IMPL(PldHwdCfam, PldHwdInterface)

namespace {
const unsigned int kNoEngineTarget = 0x7340u;
const unsigned int kNoEngineLink = 0x7341u;
}  // namespace

PldHwdCfam::PldHwdCfam() {}

PldHwdCfam::~PldHwdCfam() {}

BaseErrorData PldHwdCfam::init(initSequence::Id_t step) {
  BaseErrorData rc = PldHwdInterface::init(step);
  if (step == initSequence::INIT_LINK_TREE_ELEMENTS) rc = linkTreeElements();
  if (step == initSequence::INIT_SET_PLD) rc = setPld();
  return rc;
}

BaseErrorData PldHwdCfam::terminate(terminateSequence::Id_t step) {
  if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) unlinkTreeElements();
  return PldHwdInterface::terminate(step);
}

ErrorData PldHwdCfam::linkTreeElements() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  unsigned int count = 0;
  m_dioHwaLink = singleHiddenChild<DioHwaInterfaceLink>(*this, count);
  if (m_dioHwaLink == nullptr) {
    KAV_TRACE(KAVE, "PldHwdCfam::linkTreeElements no single engine link count=%u slot=0x%08X", count, getSlotId());
    err = kNoEngineLink;
  }
  return err;
}

void PldHwdCfam::unlinkTreeElements() {
  IFOSGuard<const QueryBase> guard(*this);
  m_dioHwaLink = nullptr;
}

KavPtr<DioHwaInterface> PldHwdCfam::engine(const char* what, ErrorData& err) const {
  KavPtr<DioHwaInterface> hwa;
  if (m_dioHwaLink != nullptr) hwa = m_dioHwaLink->getLinkTarget();
  if (hwa == nullptr) {
    KAV_TRACE_STR(KAVE, "PldHwdCfam::%s without engine", std::string(what));
    KAV_TRACE(KAVE, "  slot=0x%08X", getSlotId());
    err = kNoEngineTarget;
  }
  return hwa;
}

ErrorData PldHwdCfam::setPld() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(PldHwdData::staticGetClassId())) continue;
    KavPtr<PldHwdData> data(child);
    err = setConfig(data->getPldId(), static_cast<unsigned short>(data->getConfiguration() & 0xFFFFu));
  }
  return err;
}

ErrorData PldHwdCfam::setConfig(unsigned int pldId, unsigned short config) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  KavPtr<DioHwaInterface> hwa = engine("setConfig", err);
  if (hwa == nullptr) return err;
  KAV_TRACE(KAVT, "PldHwdCfam::setConfig slot=0x%08X pld %u config 0x%04X", getSlotId(), pldId, config);
  return hwa->pldSetConfig(pldId, config);
}

ErrorData PldHwdCfam::writeLookupTableControl(unsigned int tableId, kavPld::LookupControl_t control) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  KavPtr<DioHwaInterface> hwa = engine("writeLookupTableControl", err);
  if (hwa == nullptr) return err;
  return hwa->pldWriteLookupTableControl(tableId, control);
}

ErrorData PldHwdCfam::readLookupTableControl(unsigned int tableId, kavPld::LookupControl_t& control) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  KavPtr<DioHwaInterface> hwa = engine("readLookupTableControl", err);
  if (hwa == nullptr) return err;
  return hwa->pldReadLookupTableControl(tableId, control);
}

BuildBase* createPldHwdCfam(void*, BaseErrorData&) { return (new PldHwdCfam())->getBuildInterface(); }
