#include "kav/tree/search/SearchCriteria.h"
#include "kav/tree/objects/QueryBase.h"

SearchCriteria::~SearchCriteria() {}
