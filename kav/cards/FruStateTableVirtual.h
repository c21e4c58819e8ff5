// A card state table kept in memory only (lost with the object).
#ifndef KAV_CARDS_FRUSTATETABLEVIRTUAL_H
#define KAV_CARDS_FRUSTATETABLEVIRTUAL_H

#include "kav/cards/FruStateTable.h"

class BuildBase;

class KAV_EXPORT FruStateTableVirtual : public FruStateTable {
  KAV_TREE_CLASS(FruStateTableVirtual)

 public:
  FruStateTableVirtual();
  ~FruStateTableVirtual() override;

  // Only field 313, size 1 at offset 0 (0x7008 otherwise; 0x7027 another field).
  ErrorData readField(unsigned int fieldId, unsigned char* buf, unsigned int size,
                      unsigned int offset) const override;
  ErrorData writeField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) override;
  ErrorData writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask, unsigned int size,
                               unsigned int offset) override;
  ErrorData getFieldIds(kavstl::vector<unsigned int>* fieldIds) const override;
  ErrorData getFieldSize(unsigned int fieldId, unsigned int* size) const override;

 private:
  ErrorData check(unsigned int fieldId, const void* buf, unsigned int size, unsigned int offset) const;

  unsigned char m_value;
};

extern "C" KAV_EXPORT BuildBase* createFruStateTableVirtual(void* argument, BaseErrorData& rc);

#endif
