#include "kav/tree/ErrorData.h"

ErrorData::ErrorData(OverwriteMode_t mode, unsigned int rc) : BaseErrorData(mode, rc) {}

ErrorData::ErrorData(const BaseErrorData& other) : BaseErrorData(other) {}

ErrorData::ErrorData(const ErrorData& other) : BaseErrorData(other) {}

ErrorData::~ErrorData() {}
