// A row of the error (SRC) table ("SrcEntry"): for an error's primary and
// secondary key, the system reference code and the attributes of its log
// entry.
#ifndef KAV_DIAG_SRCLINEENTRY_H
#define KAV_DIAG_SRCLINEENTRY_H

#include "kav/diag/SrcLineKey.h"
#include "kav/diag/XmlLineEntry.h"
#include "kav/tree/errors/BaseErrorData.h"

class SrcLineEntry : public XmlLineEntry<SrcLineKey> {
 public:
  static const char* getEntryName() { return "SrcEntry"; }
  // Number of PIH positions a row holds, and their largest value.
  static const unsigned int kPihPositions = 3;
  static const unsigned int kMaxPihPosition = 3;

  // Reads every field; a row without primary key has no key. The PIH
  // positions are checked and repaired (checkPihPositionValues).
  BaseErrorData readXmlLine(unsigned int index, const BinaryReaderNode* node) override;
  kavstl::string keyAsString() const override { return m_key.asString(); }

  // Makes the PIH positions exactly three values of 0..3 with no non-zero
  // value repeated; each repair is traced and appended to `rc`.
  void checkPihPositionValues(BaseErrorData& rc);

  unsigned int getSrc() const { return m_src; }
  const kavstl::vector<unsigned char>& getPihPositions() const { return m_pihPositions; }
  const kavstl::string& getEventName() const { return m_eventName; }
  BaseErrorData::LogMode_t getLogMode() const { return m_logMode; }
  unsigned char getTrailer() const { return m_trailer; }
  unsigned int getFedcOptions() const { return m_fedcOptions; }
  unsigned char getLogClassType() const { return m_logClassType; }
  unsigned char getLogType() const { return m_logType; }
  unsigned short getLogUser() const { return m_logUser; }
  unsigned short getLogStatus() const { return m_logStatus; }

  // For tests and tables built in code.
  void setKey(const SrcLineKey& key) { m_key = key; }
  void setPihPositions(const kavstl::vector<unsigned char>& positions) { m_pihPositions = positions; }

 private:
  unsigned int m_src = 0;
  kavstl::vector<unsigned char> m_pihPositions;
  kavstl::string m_eventName;
  BaseErrorData::LogMode_t m_logMode = 0;
  unsigned char m_trailer = 0;
  unsigned int m_fedcOptions = 0;
  unsigned char m_logClassType = 0;
  unsigned char m_logType = 0;
  unsigned short m_logUser = 0;
  unsigned short m_logStatus = 0;
};

#endif
