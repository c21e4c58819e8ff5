#include "kav/diag/LookupMainKey.h"
