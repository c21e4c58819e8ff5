#include "kav/hwaccess/links/LinkCallBackBase.h"

LinkCallBackBase::LinkCallBackBase() {}

LinkCallBackBase::~LinkCallBackBase() {}
