// A table of small named binary fields that must survive a restart. Fields
// are addressed by field id (a string id); a masked write changes only the
// bits set in the mask.
#ifndef KAV_CARDS_STATETABLEINTERFACE_H
#define KAV_CARDS_STATETABLEINTERFACE_H

#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT StateTableInterface : public AtomicBase {
  KAV_TREE_CLASS(StateTableInterface)

 public:
  ~StateTableInterface() override;

  virtual ErrorData readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                              unsigned int offset) const = 0;
  virtual ErrorData writeField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) = 0;
  virtual ErrorData writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask,
                                       unsigned int size, unsigned int offset) = 0;
  virtual ErrorData getFieldIds(kavstl::vector<unsigned int>* fieldIds) const = 0;
  virtual ErrorData getFieldSize(unsigned int fieldId, unsigned int* size) const = 0;

 protected:
  StateTableInterface();
};

#endif
