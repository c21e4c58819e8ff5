// A configured map from key string id to value string id ("IdEntry" child
// nodes with "idKey" and "idValue"). The base domain's provider also gets
// the card type and hardware level of the domain from kav::start; the fixed
// FRU-id providers below read them.
#ifndef KAV_CARDS_IDPROVIDER_H
#define KAV_CARDS_IDPROVIDER_H

#include "kav/runtime/IFOSRcFastMutex.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT IdProvider : public QueryBase {
  KAV_TREE_CLASS(IdProvider)

 public:
  IdProvider();
  ~IdProvider() override;

  // Reads every entry node; 0x7049 for an entry without key, 0x704A without
  // value, 0x704B for a key mapped twice to different values.
  BaseErrorData setAttributes(const AttributeInfo& info) override;

  // 0x704C when the key is not mapped.
  BaseErrorData getId(unsigned int key, unsigned int& value) const;
  // A key already mapped to another value gives 0x704B; the same value is
  // accepted.
  BaseErrorData addId(unsigned int key, unsigned int value);
  BaseErrorData removeId(unsigned int key);

 private:
  kavstl::map<unsigned int, unsigned int> m_ids;
  mutable IFOSRcFastMutex m_lock;
};

extern "C" KAV_EXPORT BuildBase* createIdProvider(void* argument, BaseErrorData& error);

#endif
