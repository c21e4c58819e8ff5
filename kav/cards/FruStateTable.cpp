#include "kav/cards/FruStateTable.h"

#include "kav/runtime/KavTrace.h"

KAV_TREE_CLASS_IMPL(FruStateTable, StateTableInterface)

namespace {
const unsigned char kActivationMask = 0x03;
const unsigned char kFencedBit = 0x04;
const unsigned char kPowerFailBit = 0x08;
}  // namespace

FruStateTable::FruStateTable() {}

FruStateTable::~FruStateTable() {}

ErrorData FruStateTable::writeBits(unsigned char data, unsigned char mask) {
  KAV_TRACE(KAVT, " %08x,%u,%u", getInstanceId(), static_cast<unsigned int>(data), static_cast<unsigned int>(mask));
  return writeFieldWithMask(kFruStateFieldId, &data, &mask, 1, 0);
}

ErrorData FruStateTable::readByte(unsigned char* value) const {
  *value = 0;
  ErrorData rc = readField(kFruStateFieldId, value, 1, 0);
  KAV_TRACE(KAVT, " %08x,%u", getInstanceId(), static_cast<unsigned int>(*value));
  return rc;
}

ErrorData FruStateTable::getFlag(unsigned char bit, bool* flag) const {
  if (flag == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  unsigned char value = 0;
  ErrorData rc = readByte(&value);
  *flag = rc == 0 && (value & bit) != 0;
  return rc;
}

ErrorData FruStateTable::setActivationState(kav::FruActivationState_t state) {
  return writeBits(static_cast<unsigned char>(state & kActivationMask), kActivationMask);
}

ErrorData FruStateTable::getActivationState(kav::FruActivationState_t* state) const {
  if (state == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  unsigned char value = 0;
  ErrorData rc = readByte(&value);
  *state = static_cast<kav::FruActivationState_t>(value & kActivationMask);
  return rc;
}

ErrorData FruStateTable::getActivatedFlag(bool* flag) const {
  if (flag == nullptr) return ErrorData(ErrorData::NO_OVERWRITE, 0x7000u);
  unsigned char value = 0;
  ErrorData rc = readByte(&value);
  *flag = rc == 0 && (value & kActivationMask) == kav::FRU_ACTIVATED;
  return rc;
}

ErrorData FruStateTable::setFencedFlag() { return writeBits(kFencedBit, kFencedBit); }
ErrorData FruStateTable::resetFencedFlag() { return writeBits(0, kFencedBit); }
ErrorData FruStateTable::getFencedFlag(bool* flag) const { return getFlag(kFencedBit, flag); }
ErrorData FruStateTable::setPowerFailFlag() { return writeBits(kPowerFailBit, kPowerFailBit); }
ErrorData FruStateTable::resetPowerFailFlag() { return writeBits(0, kPowerFailBit); }
ErrorData FruStateTable::getPowerFailFlag(bool* flag) const { return getFlag(kPowerFailBit, flag); }
