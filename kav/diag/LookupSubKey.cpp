#include "kav/diag/LookupSubKey.h"
