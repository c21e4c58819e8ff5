// Test helper: writes binary configuration files, either record by record
// (to build malformed files) or from a small element tree (one record per
// occurrence, ids in document order).
#ifndef TESTS_TREE_BINARYFILEWRITER_H
#define TESTS_TREE_BINARYFILEWRITER_H

#include <cstdint>
#include <cstdio>
#include <cstring>
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

inline bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace testbin

#endif
