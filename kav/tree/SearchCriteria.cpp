#include "kav/tree/SearchCriteria.h"
#include "kav/tree/QueryBase.h"

SearchCriteria::~SearchCriteria() {}
