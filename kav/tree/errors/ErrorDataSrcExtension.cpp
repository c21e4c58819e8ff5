#include "kav/tree/errors/ErrorDataSrcExtension.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/start/BsIdentity.h"

ErrorDataSrcExtension::ErrorDataSrcExtension()
    : m_trailer(0), m_slotId1(0), m_slotId2(0), m_slotId3(0), m_microcode(0) {}

unsigned int ErrorDataSrcExtension::setTrailer(unsigned char trailer) {
  if (m_trailer != 0) {
    KAV_TRACE(KAVE, "SrcExt: trailer already set old=0x%02X new=0x%02X", m_trailer, trailer);
    return 0x7130;
  }
  m_trailer = trailer;
  return 0;
}

unsigned int ErrorDataSrcExtension::setSlotId1(unsigned int slotId) {
  if (m_slotId1 != 0) {
    KAV_TRACE(KAVE, "SrcExt: slot id 1 already set old=0x%08X new=0x%08X", m_slotId1, slotId);
    return 0x7131;
  }
  m_slotId1 = slotId;
  return 0;
}

unsigned int ErrorDataSrcExtension::setSlotId2(unsigned int slotId) {
  if (m_slotId2 != 0) {
    KAV_TRACE(KAVE, "SrcExt: slot id 2 already set old=0x%08X new=0x%08X", m_slotId2, slotId);
    return 0x7132;
  }
  m_slotId2 = slotId;
  return 0;
}

unsigned int ErrorDataSrcExtension::setSlotId3(unsigned int slotId) {
  if (m_slotId3 != 0) {
    KAV_TRACE(KAVE, "SrcExt: slot id 3 already set old=0x%08X new=0x%08X", m_slotId3, slotId);
    return 0x7133;
  }
  m_slotId3 = slotId;
  return 0;
}

unsigned int ErrorDataSrcExtension::overwriteSlotId1(unsigned int slotId) {
  m_slotId1 = slotId;
  return 0;
}

unsigned int ErrorDataSrcExtension::overwriteSlotId2(unsigned int slotId) {
  m_slotId2 = slotId;
  return 0;
}

unsigned int ErrorDataSrcExtension::overwriteSlotId3(unsigned int slotId) {
  m_slotId3 = slotId;
  return 0;
}

void ErrorDataSrcExtension::setTrailerMicrocode(unsigned int pih, unsigned int rc) {
  m_trailer = TRAILER_MICROCODE;
  m_slotId1 = pih;
  m_microcode = rc;
}

unsigned int ErrorDataSrcExtension::setSlotId(const kavstl::vector<unsigned int>& ids,
                                              const kavstl::vector<unsigned char>& order) {
  unsigned int rc = 0;
  if (ids.empty()) return rc;
  size_t index = 0;
  for (unsigned char position : order) {
    const unsigned int id = ids[index];
    switch (position) {
      case 0:
        break;
      case 1:
        rc = setSlotId1(id);
        break;
      case 2:
        rc = setSlotId2(id);
        break;
      case 3:
        rc = setSlotId3(id);
        break;
      default:
        KAV_TRACE(KAVE, "SrcExt: invalid slot id position %u for id 0x%08X", position, id);
        rc = 0x7134;
        break;
    }
    if (index + 1 < ids.size()) ++index;
  }
  return rc;
}

unsigned int ErrorDataSrcExtension::getExt1() const {
  return getExt1(bs_get_local_cageid(), bs_get_local_nodeid(), bs_get_own_pih());
}

unsigned int ErrorDataSrcExtension::getExt1(unsigned int cageId, unsigned int nodeId, unsigned int ownPih) const {
  unsigned int low;
  if (m_trailer == TRAILER_HW_CALLOUT || m_trailer == TRAILER_MICROCODE) {
    low = m_slotId1;
  } else {
    KAV_TRACE(KAVT, "SrcExt: ext1 with trailer 0x%02X uses own pih", m_trailer);
    low = ownPih;
  }
  return (static_cast<unsigned int>(m_trailer) << 24) + ((cageId & 0xF) << 20) + ((nodeId & 0xF) << 16) +
         (low & 0xFFFF);
}

unsigned int ErrorDataSrcExtension::getExt2() const {
  if (m_trailer == TRAILER_HW_CALLOUT) return (m_slotId2 << 16) + (m_slotId3 & 0xFFFF);
  if (m_trailer == TRAILER_MICROCODE) return m_microcode;
  return 0;
}
