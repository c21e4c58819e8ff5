// Layout of the binary configuration file ("1.4") as kavxml writes and
// checks it. All integers are big-endian.
//
//   header (40 bytes): 0..9 identification, 10..15 version "1.4" NUL-padded,
//   16 E (highest occurrence id + 1), 18 number of records, 20 M (largest id
//   list), 22 elements, 24 attributes, 26 texts, 32 S (sum of L + 1 over all
//   records), 36 checksum.
//   body: records L(2) string(L) type(1) N(2) A(2N) [B(2N) unless type 'v'].
#ifndef TOOLS_KAVXML_BINARYXMLFORMAT_H
#define TOOLS_KAVXML_BINARYXMLFORMAT_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavxml {

constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kIdentOffset = 0;
constexpr std::size_t kVersionOffset = 10;
constexpr std::size_t kVersionSize = 6;
constexpr std::size_t kEntryCountOffset = 16;
constexpr std::size_t kRecordCountOffset = 18;
constexpr std::size_t kMaxListOffset = 20;
constexpr std::size_t kElementCountOffset = 22;
constexpr std::size_t kAttributeCountOffset = 24;
constexpr std::size_t kTextCountOffset = 26;
constexpr std::size_t kStringSizeOffset = 32;
constexpr std::size_t kChecksumOffset = 36;

constexpr const char kIdent[] = "KAVXML";
constexpr const char kVersion[] = "1.4";

constexpr unsigned char kElement = 'e';
constexpr unsigned char kAttributeName = 'a';
constexpr unsigned char kText = 't';
constexpr unsigned char kAttributeValue = 'v';

// Ids are signed 16-bit values in the reader: the highest id is 32767, so E
// (highest id + 1) is at most 32768.
constexpr unsigned kMaxId = 32767;
// S, L, N and M are 16-bit fields.
constexpr unsigned kMaxStringTable = 65535;

inline void putU16(std::vector<unsigned char>& out, std::size_t at, unsigned v) {
  out[at] = static_cast<unsigned char>((v >> 8) & 0xFF);
  out[at + 1] = static_cast<unsigned char>(v & 0xFF);
}

inline void appendU16(std::vector<unsigned char>& out, unsigned v) {
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
  out.push_back(static_cast<unsigned char>(v & 0xFF));
}

inline unsigned getU16(const unsigned char* p) { return (static_cast<unsigned>(p[0]) << 8) | p[1]; }

inline uint32_t getU32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// Sum of the body bytes plus the last byte once more; 0 for an empty body.
inline uint32_t bodyChecksum(const unsigned char* body, std::size_t size) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += body[i];
  if (size > 0) sum += body[size - 1];
  return sum;
}

}  // namespace kavxml

#endif
