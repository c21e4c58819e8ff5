#include "kav/diag/SrcLineEntry.h"

#include <cstdio>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

namespace {

void report(BaseErrorData& rc, unsigned int code, const char* text) {
  KAV_TRACE_STR(KAVE, "%s", text);
  rc = code;
  rc << text;
}

}  // namespace

BaseErrorData SrcLineEntry::readXmlLine(unsigned int /*index*/, const BinaryReaderNode* node) {
  BaseErrorData rc = getAttributeString(m_key.m_primaryKey, kav::sid::SRC_PRIMARY_KEY, *node, false);
  if (rc != 0) m_hasKey = false;
  // The secondary key is optional: a row without one has an empty key.
  if (getAttributeString(m_key.m_secondaryKey, kav::sid::SRC_SECONDARY_KEY, *node, true) != 0)
    m_key.m_secondaryKey.clear();

  rc = getAttributeUint32(&m_src, kav::sid::SRC_SRC, *node, false);
  rc = getAttributeVector8(m_pihPositions, kav::sid::SRC_PIH_POSITIONS, *node, false);
  checkPihPositionValues(rc);
  rc = getAttributeString(m_eventName, kav::sid::SRC_EVENT_NAME, *node, false);

  unsigned int logModeId = 0;
  BaseErrorData modeRc = getAttributeStringId(&logModeId, kav::sid::SRC_LOG_MODE, *node, false);
  if (modeRc == 0) {
    if (logModeId == kav::sid::LOG_MODE_ALWAYS) {
      m_logMode = 2;
    } else if (logModeId == kav::sid::LOG_MODE_ONCE) {
      m_logMode = 1;
    } else {
      KAV_TRACE_STR(KAVE, "SrcLineEntry %s unknown log mode id %u", m_key.asString(), logModeId);
      modeRc = 0x7168;
      modeRc << ("SrcLookupTable " + m_key.asString() + ": log mode '" + get_string_by_id(logModeId) +
                 "' is neither '" + get_string_by_id(kav::sid::LOG_MODE_ALWAYS) + "' nor '" +
                 get_string_by_id(kav::sid::LOG_MODE_ONCE) + "'");
    }
  }
  rc = modeRc;
  rc = getAttributeUint8(&m_trailer, kav::sid::SRC_TRAILER, *node, false);
  rc = getAttributeUint32(&m_fedcOptions, kav::sid::SRC_FEDC_OPTIONS, *node, false);
  rc = getAttributeUint8(&m_logClassType, kav::sid::SRC_LOG_CLASS_TYPE, *node, false);
  rc = getAttributeUint8(&m_logType, kav::sid::SRC_LOG_TYPE, *node, false);
  rc = getAttributeUint16(&m_logUser, kav::sid::SRC_LOG_USER, *node, false);
  rc = getAttributeUint16(&m_logStatus, kav::sid::SRC_LOG_STATUS, *node, false);
  return rc;
}

void SrcLineEntry::checkPihPositionValues(BaseErrorData& rc) {
  const char* prim = m_key.m_primaryKey.c_str();
  const char* sec = m_key.m_secondaryKey.c_str();
  const char* token = get_string_by_id(kav::sid::SRC_PIH_POSITIONS).c_str();
  char text[512];
  bool repaired = false;
  const unsigned int found = static_cast<unsigned int>(m_pihPositions.size());
  if (found > kPihPositions) {
    std::snprintf(text, sizeof text,
                  "SrcLookupTable PrimKey='%s', SecKey='%s': Too many parameters specified for Token='%s'. %d "
                  "parameters found. Truncate after the required %d parameters  rc=0x%.8X",
                  prim, sec, token, static_cast<int>(found), static_cast<int>(kPihPositions), 0x7137u);
    report(rc, 0x7137, text);
    m_pihPositions.resize(kPihPositions);
    repaired = true;
  } else if (found < kPihPositions) {
    std::snprintf(text, sizeof text,
                  "SrcLookupTable PrimKey='%s', SecKey='%s': Not enough parameters specified for Token='%s'. %d of "
                  "the required %d parameters found. Fill up with '0'  rc=0x%.8X",
                  prim, sec, token, static_cast<int>(found), static_cast<int>(kPihPositions), 0x7136u);
    report(rc, 0x7136, text);
    m_pihPositions.resize(kPihPositions, 0);
    repaired = true;
  }
  if (!repaired) {
    for (unsigned int i = 0; i < kPihPositions; ++i) {
      if (m_pihPositions[i] <= kMaxPihPosition) continue;
      std::snprintf(text, sizeof text,
                    "SrcLookupTable PrimKey='%s', SecKey='%s': Parameter %d of Token='%s' with value=%d is out of "
                    "range. Range 0...%d. Set value to 0. rc=0x%.8X",
                    prim, sec, static_cast<int>(i + 1), token, static_cast<int>(m_pihPositions[i]),
                    static_cast<int>(kMaxPihPosition), 0x7134u);
      report(rc, 0x7134, text);
      m_pihPositions[i] = 0;
      repaired = true;
    }
  }
  if (!repaired) {
    for (unsigned int i = 1; i < kPihPositions; ++i) {
      const unsigned char v = m_pihPositions[i];
      if (v == 0) continue;
      bool used = false;
      for (unsigned int j = 0; j < i; ++j) used = used || m_pihPositions[j] == v;
      if (!used) continue;
      std::snprintf(text, sizeof text,
                    "SrcLookupTable PrimKey='%s', SecKey='%s': value=%d of Parameters %d in Token='%s' already "
                    "used. Set value to 0. rc=0x%.8X",
                    prim, sec, static_cast<int>(v), static_cast<int>(i + 1), token, 0x7135u);
      report(rc, 0x7135, text);
      m_pihPositions[i] = 0;
    }
  }
}
