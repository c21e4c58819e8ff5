#include "kav/cards/FruStateTableVirtual.h"

#include "kav/runtime/IFOSGuard.h"

KAV_TREE_CLASS_IMPL(FruStateTableVirtual, FruStateTable)

FruStateTableVirtual::FruStateTableVirtual() : m_value(0) {}

FruStateTableVirtual::~FruStateTableVirtual() {}

ErrorData FruStateTableVirtual::check(unsigned int fieldId, const void* buf, unsigned int size,
                                      unsigned int offset) const {
  ErrorData rc;
  if (buf == nullptr)
    rc = 0x7000u;
  else if (fieldId != kFruStateFieldId)
    rc = 0x7027u;
  else if (size != 1 || offset != 0)
    rc = 0x7008u;
  return rc;
}

ErrorData FruStateTableVirtual::readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                          unsigned int offset) const {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = check(fieldId, buf, size, offset);
  if (rc == 0) *buf = m_value;
  return rc;
}

ErrorData FruStateTableVirtual::writeField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                                           unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = check(fieldId, buf, size, offset);
  if (rc == 0) m_value = *buf;
  return rc;
}

ErrorData FruStateTableVirtual::writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask,
                                                   unsigned int size, unsigned int offset) {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc = check(fieldId, data, size, offset);
  if (rc == 0 && mask == nullptr) rc = 0x7000u;
  if (rc == 0) m_value = static_cast<unsigned char>((m_value & ~*mask) | (*data & *mask));
  return rc;
}

ErrorData FruStateTableVirtual::getFieldIds(kavstl::vector<unsigned int>* fieldIds) const {
  ErrorData rc;
  if (fieldIds == nullptr) {
    rc = 0x7000u;
    return rc;
  }
  fieldIds->clear();
  fieldIds->push_back(kFruStateFieldId);
  return rc;
}

ErrorData FruStateTableVirtual::getFieldSize(unsigned int fieldId, unsigned int* size) const {
  ErrorData rc;
  if (size == nullptr)
    rc = 0x7000u;
  else if (fieldId != kFruStateFieldId)
    rc = 0x7027u;
  else
    *size = 1;
  return rc;
}

BuildBase* createFruStateTableVirtual(void*, BaseErrorData&) {
  FruStateTableVirtual* table = new FruStateTableVirtual();
  return table->getBuildInterface();
}
