// Test helper: writes binary configuration files, either record by record
// (to build malformed files) or from a small element tree (one record per
// occurrence, ids in document order), and takes files apart into records to
// write the same document in another record order.
#ifndef TESTS_TREE_BINARYFILEWRITER_H
#define TESTS_TREE_BINARYFILEWRITER_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace testbin {

struct Record {
  std::string text;
  char type;
  std::vector<uint16_t> a;
  std::vector<uint16_t> b;  // ignored for 'v'
};

struct Header {
  int entryCount = -1;  // -1: highest id + 1
  int maxCount = -1;    // -1: largest record count
  int stringSize = -1;  // -1: sum of (L + 1)
  std::string version = "1.4";
  bool fixChecksum = true;
  uint32_t checksum = 0;
};

inline void put16(std::vector<unsigned char>& out, unsigned v) {
  out.push_back(static_cast<unsigned char>(v >> 8));
  out.push_back(static_cast<unsigned char>(v));
}

inline uint32_t checksum(const std::vector<unsigned char>& file) {
  uint32_t sum = 0;
  for (size_t i = 40; i < file.size(); ++i) sum += file[i];
  if (file.size() > 40) sum += file.back();
  return sum;
}

inline void setChecksum(std::vector<unsigned char>& file, uint32_t crc) {
  file[36] = static_cast<unsigned char>(crc >> 24);
  file[37] = static_cast<unsigned char>(crc >> 16);
  file[38] = static_cast<unsigned char>(crc >> 8);
  file[39] = static_cast<unsigned char>(crc);
}

// Recomputes the checksum after the bytes were changed.
inline void fixChecksum(std::vector<unsigned char>& file) { setChecksum(file, checksum(file)); }

inline std::vector<unsigned char> body(const std::vector<Record>& records) {
  std::vector<unsigned char> out;
  for (const Record& r : records) {
    put16(out, static_cast<unsigned>(r.text.size()));
    out.insert(out.end(), r.text.begin(), r.text.end());
    out.push_back(static_cast<unsigned char>(r.type));
    put16(out, static_cast<unsigned>(r.a.size()));
    for (uint16_t v : r.a) put16(out, v);
    if (r.type != 'v')
      for (uint16_t v : r.b) put16(out, v);
  }
  return out;
}

inline std::vector<unsigned char> file(const std::vector<Record>& records, const Header& h = Header()) {
  unsigned maxId = 0, maxCount = 0, strings = 0;
  for (const Record& r : records) {
    for (uint16_t v : r.a) maxId = v > maxId ? v : maxId;
    maxCount = r.a.size() > maxCount ? static_cast<unsigned>(r.a.size()) : maxCount;
    strings += static_cast<unsigned>(r.text.size()) + 1;
  }
  std::vector<unsigned char> out(40, 0);
  std::memcpy(out.data(), "KAVXMLTEST", 10);
  std::memcpy(out.data() + 10, h.version.data(), h.version.size() < 6 ? h.version.size() : 6);
  const unsigned e = h.entryCount >= 0 ? static_cast<unsigned>(h.entryCount) : maxId + 1;
  const unsigned m = h.maxCount >= 0 ? static_cast<unsigned>(h.maxCount) : maxCount;
  const unsigned s = h.stringSize >= 0 ? static_cast<unsigned>(h.stringSize) : strings;
  out[16] = static_cast<unsigned char>(e >> 8);
  out[17] = static_cast<unsigned char>(e);
  out[20] = static_cast<unsigned char>(m >> 8);
  out[21] = static_cast<unsigned char>(m);
  out[32] = static_cast<unsigned char>(s >> 8);
  out[33] = static_cast<unsigned char>(s);
  std::vector<unsigned char> b = body(records);
  out.insert(out.end(), b.begin(), b.end());
  setChecksum(out, h.fixChecksum ? checksum(out) : h.checksum);
  return out;
}

// A small document: one record per occurrence, ids in document order.
struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<Element> children;
};

inline void records(const Element& e, uint16_t parent, uint16_t& next, std::vector<Record>& out) {
  const uint16_t id = next++;
  out.push_back({e.name, 'e', {id}, {parent}});
  for (const auto& a : e.attributes) {
    const uint16_t nameId = next++;
    const uint16_t valueId = next++;
    out.push_back({a.first, 'a', {nameId}, {id}});
    out.push_back({a.second, 'v', {valueId}, {}});
  }
  if (!e.text.empty()) {
    const uint16_t textId = next++;
    out.push_back({e.text, 't', {textId}, {id}});
  }
  for (const Element& c : e.children) records(c, id, next, out);
}

inline std::vector<Record> records(const Element& root) {
  std::vector<Record> out;
  uint16_t next = 1;
  records(root, 0, next, out);
  return out;
}

inline std::vector<unsigned char> file(const Element& root) { return file(records(root)); }

// The records of a well-formed file, in file order (empty if it is not one).
inline std::vector<Record> parseRecords(const std::vector<unsigned char>& file) {
  std::vector<Record> out;
  size_t pos = 40;
  auto get16 = [&](uint16_t& v) {
    if (file.size() - pos < 2) return false;
    v = static_cast<uint16_t>((file[pos] << 8) | file[pos + 1]);
    pos += 2;
    return true;
  };
  while (file.size() > 40 && pos < file.size()) {
    Record r;
    uint16_t len = 0, count = 0;
    if (!get16(len) || file.size() - pos < len + 1u) return {};
    r.text.assign(reinterpret_cast<const char*>(file.data() + pos), len);
    pos += len;
    r.type = static_cast<char>(file[pos++]);
    if (!get16(count)) return {};
    r.a.resize(count);
    for (uint16_t& v : r.a)
      if (!get16(v)) return {};
    if (r.type != 'v') {
      r.b.resize(count);
      for (uint16_t& v : r.b)
        if (!get16(v)) return {};
    }
    out.push_back(std::move(r));
  }
  return out;
}

// Record orders another writer of the format may choose. Each keeps what the
// format demands: the element records of one parent's children in their
// relative order (siblings are met in that order) and every value record
// after the records of its attribute names.

// Stable by type, in the order of `types` (say "tave": texts, attribute
// names, values, elements).
inline std::vector<Record> groupedByType(const std::vector<Record>& in, const std::string& types) {
  std::vector<Record> out;
  for (char t : types)
    for (const Record& r : in)
      if (r.type == t) out.push_back(r);
  return out;
}

// Each string stored once per role, its record where the string first occurs
// in the document (ids number the occurrences in document order); a value
// record goes after the last record of its attribute names. The document
// must be one whose element records at their first occurrence keep siblings
// in order.
inline std::vector<Record> atFirstOccurrence(const std::vector<Record>& in) {
  std::vector<Record> merged;
  std::map<std::pair<std::string, char>, size_t> index;
  for (const Record& r : in) {
    auto it = index.emplace(std::make_pair(r.text, r.type), merged.size()).first;
    if (it->second == merged.size()) merged.push_back(Record{r.text, r.type, {}, {}});
    Record& m = merged[it->second];
    m.a.insert(m.a.end(), r.a.begin(), r.a.end());
    m.b.insert(m.b.end(), r.b.begin(), r.b.end());
  }
  std::map<uint16_t, uint16_t> nameRecordStart;  // attribute name id -> first id of its record
  auto first = [](const Record& r) {
    uint16_t m = 0xFFFF;
    for (uint16_t v : r.a) m = v < m ? v : m;
    return m;
  };
  for (const Record& r : merged)
    if (r.type == 'a')
      for (uint16_t v : r.a) nameRecordStart[v] = first(r);
  // Sort key: (position, 0 for the others, 1 for values).
  std::vector<std::pair<std::pair<uint16_t, int>, size_t>> keys;
  for (size_t i = 0; i < merged.size(); ++i) {
    uint16_t at = first(merged[i]);
    if (merged[i].type == 'v')
      for (uint16_t v : merged[i].a) {
        auto name = nameRecordStart.find(static_cast<uint16_t>(v - 1));
        if (name != nameRecordStart.end() && name->second > at) at = name->second;
      }
    keys.push_back({{at, merged[i].type == 'v' ? 1 : 0}, i});
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<Record> out;
  for (const auto& k : keys) out.push_back(merged[k.second]);
  return out;
}

// A random order from the seed: element records keep their relative order,
// every other record lands anywhere, a value after its attribute names.
inline std::vector<Record> shuffled(const std::vector<Record>& in, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Record> out;
  for (const Record& r : in)
    if (r.type == 'e') out.push_back(r);
  for (const Record& r : in) {
    if (r.type != 'a' && r.type != 't') continue;
    out.insert(out.begin() + static_cast<long>(rng() % (out.size() + 1)), r);
  }
  for (const Record& r : in) {
    if (r.type != 'v') continue;
    size_t earliest = 0;  // just after the last of its names
    for (size_t i = 0; i < out.size(); ++i)
      if (out[i].type == 'a')
        for (uint16_t name : out[i].a)
          for (uint16_t v : r.a)
            if (name + 1 == v) earliest = i + 1;
    out.insert(out.begin() + static_cast<long>(earliest + rng() % (out.size() - earliest + 1)), r);
  }
  return out;
}

inline bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace testbin

#endif
