#include "kav/diag/SrcLineKey.h"

SrcLineKey::SrcLineKey(const kavstl::string& primary, const kavstl::string& secondary)
    : m_primaryKey(primary), m_secondaryKey(secondary) {}

bool SrcLineKey::operator<(const SrcLineKey& other) const {
  if (m_primaryKey != other.m_primaryKey) return m_primaryKey < other.m_primaryKey;
  return m_secondaryKey < other.m_secondaryKey;
}

kavstl::string SrcLineKey::asString() const { return "PrimKey='" + m_primaryKey + "', SecKey='" + m_secondaryKey + "'"; }
