// Reading an id from the id provider nearest to a tree object: the first
// IdProvider met on the way up, either an ancestor or a child of an
// ancestor.
#ifndef KAV_CARDS_IDPROVIDERACCESS_H
#define KAV_CARDS_IDPROVIDERACCESS_H

#include "kav/tree/errors/BaseErrorData.h"
#include "kav/tree/objects/KavExport.h"

class QueryBase;

// The value string id of the key. 0x7000 when there is no provider, the
// provider's result otherwise (0x704C for a key it does not map).
KAV_EXPORT BaseErrorData getIdFromProvider(const QueryBase* node, unsigned int key, unsigned int& value);
// The same with the value's text read as a number ("0x10", "16"); a text
// that is no number gives 0x7013.
KAV_EXPORT BaseErrorData getIdFromProviderUint32(const QueryBase* node, unsigned int key, unsigned int& value);

#endif
