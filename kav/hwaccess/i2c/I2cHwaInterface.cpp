#include "kav/hwaccess/i2c/I2cHwaInterface.h"

KAV_TREE_CLASS_IMPL(I2cHwaInterface, QueryBase)

I2cHwaInterface::I2cHwaInterface() {}

I2cHwaInterface::~I2cHwaInterface() {}
