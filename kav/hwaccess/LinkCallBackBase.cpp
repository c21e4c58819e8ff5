#include "kav/hwaccess/LinkCallBackBase.h"

LinkCallBackBase::LinkCallBackBase() {}

LinkCallBackBase::~LinkCallBackBase() {}
