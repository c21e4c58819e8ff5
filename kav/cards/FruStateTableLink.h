// The link by which other objects find a card's state table: the single
// FruStateTable with the target instance name under the link's base.
#ifndef KAV_CARDS_FRUSTATETABLELINK_H
#define KAV_CARDS_FRUSTATETABLELINK_H

#include "kav/cards/FruStateTable.h"
#include "kav/hwaccess/links/LinkBase.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT FruStateTableLink : public LinkBase {
  KAV_TREE_CLASS(FruStateTableLink)

 public:
  FruStateTableLink();
  ~FruStateTableLink() override;

  bool updateLinkTarget() override;
  KavPtr<FruStateTable> getLinkTarget() const;

 private:
  KavPtr<FruStateTable> m_target;
};

extern "C" KAV_EXPORT BuildBase* createFruStateTableLink(void* argument, BaseErrorData& rc);

#endif
