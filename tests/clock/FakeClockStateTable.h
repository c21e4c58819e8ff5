// A card's state table over a map, for the clock tests: the state byte and
// the clock domain's fields (PLL pattern, steering flag, spreading direction
// and amount), four-byte values most significant byte first. A field it
// does not hold is 0x7027, a size or offset that does not fit 0x7008.
#ifndef TESTS_CLOCK_FAKECLOCKSTATETABLE_H
#define TESTS_CLOCK_FAKECLOCKSTATETABLE_H

#include <map>
#include <vector>

#include "kav/cards/FruStateTable.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"

namespace clocktest {

class FakeClockStateTable : public FruStateTable {
 public:
  std::map<unsigned int, std::vector<unsigned char>> fields;

  FakeClockStateTable() {
    fields[kav::sid::FRU_STATE_FIELD] = {0};
    fields[get_id_by_string("PllSpeedPattern")] = {0, 0, 0, 0};
    fields[kav::sid::STEERING_MODE_FIELD] = {0};
    fields[get_id_by_string("SpreadingDirection")] = {0};
    fields[get_id_by_string("SpreadingValue")] = {0, 0, 0, 0};
  }
  void setState(kav::FruActivationState_t state) { fields[kav::sid::FRU_STATE_FIELD][0] = state; }
  unsigned int word(unsigned int field) const {
    const std::vector<unsigned char>& b = fields.at(field);
    return static_cast<unsigned int>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
  }
  unsigned int word(const char* field) const { return word(get_id_by_string(field)); }
  unsigned int pattern() const { return word("PllSpeedPattern"); }
  void setWord(const char* field, unsigned int value) {
    fields[get_id_by_string(field)] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                       static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
  }
  unsigned char byte(unsigned int field) const { return fields.at(field)[0]; }

  ErrorData readField(unsigned int field, unsigned char* buf, unsigned int size, unsigned int offset) const override {
    auto it = fields.find(field);
    if (it == fields.end()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    if (offset != 0 || size != it->second.size()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7008);
    for (unsigned int i = 0; i < size; ++i) buf[i] = it->second[i];
    return ErrorData();
  }
  ErrorData writeField(unsigned int field, unsigned char* buf, unsigned int size, unsigned int offset) override {
    auto it = fields.find(field);
    if (it == fields.end()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    if (offset != 0 || size != it->second.size()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7008);
    it->second.assign(buf, buf + size);
    return ErrorData();
  }
  ErrorData writeFieldWithMask(unsigned int field, unsigned char* data, unsigned char* mask, unsigned int size,
                               unsigned int offset) override {
    auto it = fields.find(field);
    if (it == fields.end()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    if (offset != 0 || size != it->second.size()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7008);
    for (unsigned int i = 0; i < size; ++i)
      it->second[i] = static_cast<unsigned char>((it->second[i] & ~mask[i]) | (data[i] & mask[i]));
    return ErrorData();
  }
  ErrorData getFieldIds(kavstl::vector<unsigned int>* ids) const override {
    for (const auto& f : fields) ids->push_back(f.first);
    return ErrorData();
  }
  ErrorData getFieldSize(unsigned int field, unsigned int* size) const override {
    auto it = fields.find(field);
    if (it == fields.end()) return ErrorData(ErrorData::NO_OVERWRITE, 0x7027);
    *size = static_cast<unsigned int>(it->second.size());
    return ErrorData();
  }
};

}  // namespace clocktest

#endif
