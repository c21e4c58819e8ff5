// One configuration word of a CFAM's programmable logic: pld id (0..7) and
// value; only its low 16 bits are written.
#ifndef KAV_HWACCESS_PLDHWDDATA_H
#define KAV_HWACCESS_PLDHWDDATA_H

#include <ostream>

#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT PldHwdData : public QueryBase {
  KAV_TREE_CLASS(PldHwdData)

 public:
  PldHwdData();
  ~PldHwdData() override;

  // Attributes "pldId" and "value"; a failed read is the result.
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  void dumpXml(std::ostream& os) const override;

  unsigned int getPldId() const { return m_pldId; }
  unsigned int getConfiguration() const { return m_configValue; }
  void setData(unsigned int pldId, unsigned int value) {
    m_pldId = pldId;
    m_configValue = value;
  }

 private:
  unsigned int m_pldId;
  unsigned int m_configValue;
};

extern "C" KAV_EXPORT BuildBase* createPldHwdData(void* argument, BaseErrorData& error);

#endif
