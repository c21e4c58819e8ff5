// Shared pieces of the speed-pattern tests and benchmark: the card's
// configured converters read from the compiled configuration
// (OscCard_20B20001.bin) and built as objects, converters of a test's own,
// a state table that keeps any field, and an independent, straightforward
// 64-bit model of the Part's arithmetic to check the library against.
#ifndef TESTS_CLOCK_SPEEDTESTSUPPORT_H
#define TESTS_CLOCK_SPEEDTESTSUPPORT_H

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kav/cards/FruStateTable.h"
#include "kav/clock/speed/FrequencyRange.h"
#include "kav/clock/speed/SpeedPatternConverter.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "tests/cards/CardsTestSupport.h"

namespace speedtest {

typedef std::initializer_list<std::pair<kavstl::string, kavstl::string>> Attributes;

// ---- the configuration ----------------------------------------------------

inline std::string attribute(const BinaryReaderNode* node, const char* name) {
  kavstl::string value;
  if (node == nullptr || node->getAttributeValue(name, value, true) != 0) return std::string();
  return value;
}

// The card's compiled configuration (null when it cannot be read).
inline const BinaryReaderNode* cardConfig() { return getBinaryReaderNode(e2e::configDir() + "/OscCard_20B20001.bin"); }

// The first node below root with that instance name.
inline const BinaryReaderNode* findNode(const BinaryReaderNode* root, const std::string& instanceName) {
  if (root == nullptr) return nullptr;
  if (attribute(root, "instanceName") == instanceName) return root;
  for (const BinaryReaderNode* child : root->getChildren()) {
    const BinaryReaderNode* found = findNode(child, instanceName);
    if (found != nullptr) return found;
  }
  return nullptr;
}

// A converter built from its configuration node (with its FrequencyRange
// children) under parent, linked as at step 3.
inline KavPtr<SpeedPatternConverter> buildConverter(QueryBase* parent, const BinaryReaderNode* node) {
  KavPtr<SpeedPatternConverter> converter(new SpeedPatternConverter());
  if (node == nullptr) return converter;
  converter->setAttributes(AttributeInfo(nullptr, node, nullptr));
  cardstest::link(parent, converter.getRawPointer());
  for (const BinaryReaderNode* child : node->getChildren()) {
    if (attribute(child, "class") != "FrequencyRange") continue;
    KavPtr<FrequencyRange> range(new FrequencyRange());
    range->setAttributes(AttributeInfo(nullptr, child, nullptr));
    cardstest::link(converter.getRawPointer(), range.getRawPointer());
  }
  converter->init(initSequence::INIT_LINK_TREE_ELEMENTS);
  return converter;
}

// A converter of the test's own: its attributes and its ranges' (by name).
inline KavPtr<SpeedPatternConverter> makeConverter(QueryBase* parent, Attributes attributes,
                                                   const std::vector<std::vector<std::pair<std::string, std::string>>>& ranges) {
  std::unique_ptr<BinaryReaderNode> node(cardstest::element("SpeedPatternConverter", attributes));
  KavPtr<SpeedPatternConverter> converter(new SpeedPatternConverter());
  converter->setAttributes(AttributeInfo(nullptr, node.get(), nullptr));
  cardstest::link(parent, converter.getRawPointer());
  for (const auto& r : ranges) {
    std::unique_ptr<BinaryReaderNode> rn(cardstest::element("FrequencyRange", {}));
    for (const auto& a : r) rn->addAttribute(a.first, a.second);
    KavPtr<FrequencyRange> range(new FrequencyRange());
    range->setAttributes(AttributeInfo(nullptr, rn.get(), nullptr));
    cardstest::link(converter.getRawPointer(), range.getRawPointer());
  }
  converter->init(initSequence::INIT_LINK_TREE_ELEMENTS);
  return converter;
}

// ---- the model --------------------------------------------------------------

inline uint64_t number(const std::string& text, uint64_t otherwise) {
  return text.empty() ? otherwise : std::strtoull(text.c_str(), nullptr, 0);
}

struct RangeModel {
  uint64_t value, divider, multiplier, min, max;
};

// The Part's formulas, written out plainly in 64 bits.
struct ConverterModel {
  uint64_t inMin = 0, inMax = 0, vcoMin = 0, vcoMax = 0, divider = 1, multiplier = 1, outMask = 0, fbMask = 0;
  std::vector<RangeModel> ranges;

  static ConverterModel fromNode(const BinaryReaderNode* node) {
    ConverterModel m;
    m.inMin = number(attribute(node, "inputFrequencyMinKhz"), 0);
    m.inMax = number(attribute(node, "inputFrequencyMaxKhz"), 0);
    m.vcoMin = number(attribute(node, "vcoFrequencyMinKhz"), 0);
    m.vcoMax = number(attribute(node, "vcoFrequencyMaxKhz"), 0);
    m.divider = number(attribute(node, "divider"), 1);
    m.multiplier = number(attribute(node, "multiplier"), 1);
    m.outMask = number(attribute(node, "outputDividerMask"), 0);
    m.fbMask = number(attribute(node, "feedbackDividerMask"), 0);
    for (const BinaryReaderNode* child : node->getChildren())
      if (attribute(child, "class") == "FrequencyRange")
        m.ranges.push_back({number(attribute(child, "value"), 0), number(attribute(child, "divider"), 1),
                            number(attribute(child, "multiplier"), 1),
                            number(attribute(child, "outputFrequencyMinKhz"), 0),
                            number(attribute(child, "outputFrequencyMaxKhz"), 0)});
    return m;
  }

  uint64_t reference(uint64_t input) const { return (multiplier * input + divider / 2) / divider; }
  static uint64_t frequencyOf(uint64_t ct) { return (ct / 2 + 1000000000ull) / ct; }
  static uint64_t cycleTimeOf(uint64_t f) { return f == 0 ? 0xFFFFFFFFull : (f / 2 + 1000000000ull) / f; }
  static uint64_t output(uint64_t vco, const RangeModel& r) { return (vco * r.multiplier + r.divider / 2) / r.divider; }

  struct Candidate {
    uint64_t bits, n, vco, frequency, cycleTime;
    bool checksPass;
  };

  Candidate forRange(uint64_t input, const RangeModel& r, uint64_t ct) const {
    const uint64_t ref = reference(input);
    const uint64_t x = ref * r.multiplier;
    const uint64_t n = (r.divider * frequencyOf(ct) + x / 2) / x;
    Candidate c;
    c.n = n;
    c.bits = (r.value & outMask) | (n & fbMask);
    c.vco = ref * n;
    c.frequency = output(c.vco, r);
    c.cycleTime = cycleTimeOf(c.frequency);
    c.checksPass = c.bits == 0 || (vcoMin <= c.vco && c.vco <= vcoMax && r.min <= c.frequency && c.frequency <= r.max);
    return c;
  }

  std::vector<Candidate> candidates(uint64_t input, uint64_t ct) const {
    std::vector<Candidate> out;
    const uint64_t f = frequencyOf(ct);
    for (const RangeModel& r : ranges) {
      const uint64_t vco = (r.divider * f + r.multiplier / 2) / r.multiplier;
      if (r.min <= f && f <= r.max && vcoMin <= vco && vco <= vcoMax) out.push_back(forRange(input, r, ct));
    }
    return out;
  }
};

// ---- a state table that keeps any field -------------------------------------

class MemoryStateTable : public FruStateTable {
 public:
  std::map<unsigned int, std::vector<unsigned char>> fields;
  // Field writes fail with this code (0: none); reads with readFailure.
  unsigned int writeFailure = 0;
  unsigned int readFailure = 0;
  unsigned int writes = 0;

  void setActivated(bool activated) { fields[kFruStateFieldId] = {static_cast<unsigned char>(activated ? 2 : 0)}; }

  ErrorData readField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) const override {
    if (readFailure != 0) return ErrorData(ErrorData::NO_OVERWRITE, readFailure);
    auto it = fields.find(fieldId);
    for (unsigned int i = 0; i < size; ++i)
      buf[i] = it != fields.end() && offset + i < it->second.size() ? it->second[offset + i] : 0;
    return ErrorData();
  }
  ErrorData writeField(unsigned int fieldId, unsigned char* buf, unsigned int size, unsigned int offset) override {
    ++writes;
    if (writeFailure != 0) return ErrorData(ErrorData::NO_OVERWRITE, writeFailure);
    std::vector<unsigned char>& f = fields[fieldId];
    if (f.size() < offset + size) f.resize(offset + size);
    for (unsigned int i = 0; i < size; ++i) f[offset + i] = buf[i];
    return ErrorData();
  }
  ErrorData writeFieldWithMask(unsigned int fieldId, unsigned char* data, unsigned char* mask, unsigned int size,
                               unsigned int offset) override {
    std::vector<unsigned char>& f = fields[fieldId];
    if (f.size() < offset + size) f.resize(offset + size);
    for (unsigned int i = 0; i < size; ++i) f[offset + i] = (f[offset + i] & ~mask[i]) | (data[i] & mask[i]);
    return ErrorData();
  }
  ErrorData getFieldIds(kavstl::vector<unsigned int>* ids) const override {
    for (const auto& f : fields) ids->push_back(f.first);
    return ErrorData();
  }
  ErrorData getFieldSize(unsigned int fieldId, unsigned int* size) const override {
    auto it = fields.find(fieldId);
    *size = it == fields.end() ? 0 : static_cast<unsigned int>(it->second.size());
    return ErrorData();
  }
};

}  // namespace speedtest

#endif
