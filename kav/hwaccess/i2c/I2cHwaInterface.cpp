#include "kav/hwaccess/i2c/I2cHwaInterface.h"

KAV_TREE_CLASS_IMPL(I2cHwaInterface, QueryBase)

I2cHwaInterface::I2cHwaInterface() {}

I2cHwaInterface::~I2cHwaInterface() {}

BaseErrorData I2cHwaInterface::setAttributes(const AttributeInfo& info) { return QueryBase::setAttributes(info); }

BaseErrorData I2cHwaInterface::init(initSequence::Id_t step) { return QueryBase::init(step); }

BaseErrorData I2cHwaInterface::terminate(terminateSequence::Id_t step) { return QueryBase::terminate(step); }
