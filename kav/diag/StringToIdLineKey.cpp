#include "kav/diag/StringToIdLineKey.h"
