#include "kav/tree/config/StringAttributeProvider.h"
