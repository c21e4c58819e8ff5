#include "kav/tree/StringAttributeProvider.h"
