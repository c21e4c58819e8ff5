#include "kav/diag/ParameterKey.h"
