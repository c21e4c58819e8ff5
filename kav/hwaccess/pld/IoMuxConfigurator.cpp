#include "kav/hwaccess/pld/IoMuxConfigurator.h"

#include <vector>

#include "kav/hwaccess/pld/IoMuxGroupDataBase.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"

KAV_TREE_CLASS_IMPL(IoMuxConfigurator, AtomicBase)

namespace {
const unsigned int kNoMultiplexer = 0x7346u;
const unsigned int kGroupIdTooLarge = 0x7380u;
}  // namespace

IoMuxConfigurator::IoMuxConfigurator() : m_maxGroups(0) {}

IoMuxConfigurator::~IoMuxConfigurator() {}

namespace {
const unsigned int kMostGroups = 256;
const unsigned int kInvalidValue = 0x7013u;
}  // namespace

BaseErrorData IoMuxConfigurator::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  rc = getAttributeUint32(&m_maxGroups, kav::sid::IOMUX_MAX_GROUPS, *node, false);
  if (m_maxGroups > kMostGroups) {
    // No multiplexer has that many groups; the set-up's arrays are sized by it.
    KAV_TRACE(KAVE, "IoMuxConfigurator: %u groups, at most %u slot=0x%08X", m_maxGroups, kMostGroups, getSlotId());
    m_maxGroups = 0;
    rc = kInvalidValue;
  }
  return rc;
}

void IoMuxConfigurator::dumpXml(std::ostream& os) const {
  if (!os) return;
  os << "<class className=\"IoMuxConfigurator\">\n";
  os << "<parameter name=\"m_maxGroups\" value=\"" << m_maxGroups << "\"/>\n";
  os << "</class>\n";
  AtomicBase::dumpXml(os);
}

ErrorData IoMuxConfigurator::configIoMux(const KavPtr<IoMuxHwaInterface>& hwa) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData err;
  std::vector<IoMuxInfo> entries(m_maxGroups, IoMuxInfo());
  for (IoMuxInfo& e : entries) e.disableMux();
  std::vector<bool> configured(m_maxGroups, false);
  for (const KavPtr<QueryBase>& child : getHiddenChildren()) {
    if (!child->isInstanceOf(IoMuxGroupDataBase::staticGetClassId())) continue;
    const IoMuxInfo& info = KavPtr<IoMuxGroupDataBase>(child)->getIoMuxInfo();
    const unsigned int group = info.getGroupId();
    if (group >= m_maxGroups) {
      KAV_TRACE(KAVE, "IoMuxConfigurator slot=0x%08X group %u beyond the last group %u", getSlotId(), group,
                m_maxGroups - 1);
      err = kGroupIdTooLarge;
      continue;
    }
    entries[group] = info;
    configured[group] = true;
  }
  if (hwa == nullptr) {
    KAV_TRACE(KAVE, "IoMuxConfigurator slot=0x%08X without multiplexer", getSlotId());
    err = kNoMultiplexer;
    return err;
  }
  for (unsigned int i = 0; i < m_maxGroups;) {
    unsigned int n = 1;
    while (i + n < m_maxGroups && configured[i + n] == configured[i]) ++n;
    if (configured[i]) {
      KAV_TRACE(KAVT, "IoMuxConfigurator slot=0x%08X writes groups %u..+%u", getSlotId(), i, n);
      err = hwa->write(i, &entries[i], n);
    }
    i += n;
  }
  return err;
}

BuildBase* createIoMuxConfigurator(void*, BaseErrorData&) { return (new IoMuxConfigurator())->getBuildInterface(); }
