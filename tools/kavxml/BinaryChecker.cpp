#include "tools/kavxml/BinaryChecker.h"

#include <cstdio>
#include <cstring>

#include "tools/kavxml/BinaryXmlFormat.h"

namespace kavxml {

namespace {

enum class Entry : unsigned char { Unused, Element, AttributeName, AttributeValue, Text };

std::string at(std::size_t offset) { return "offset " + std::to_string(offset) + ": "; }

std::string hex8(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

}  // namespace

bool BinaryChecker::check(const std::vector<unsigned char>& file, std::string& error) {
  m_stats = DocumentStats();
  const unsigned char* p = file.data();
  const std::size_t size = file.size();
  if (size < kHeaderSize) {
    error = at(size) + "file ends inside the 40-byte header";
    return false;
  }
  if (size == kHeaderSize) {
    error = at(size) + "no records after the header";
    return false;
  }
  const char* version = reinterpret_cast<const char*>(p + kVersionOffset);
  if (std::memchr(version, 0, kVersionSize) == nullptr || std::strcmp(version, kVersion) != 0) {
    std::string shown;
    for (std::size_t i = 0; i < kVersionSize && version[i] != 0; ++i)
      shown += (version[i] >= 0x20 && version[i] < 0x7F) ? version[i] : '?';
    error = at(kVersionOffset) + "version '" + shown + "' is not '" + kVersion + "'";
    return false;
  }
  const uint32_t stored = getU32(p + kChecksumOffset);
  const uint32_t sum = bodyChecksum(p + kHeaderSize, size - kHeaderSize);
  if (stored != sum) {
    error = at(kChecksumOffset) + "checksum " + hex8(stored) + " does not match the body's " + hex8(sum);
    return false;
  }
  const unsigned entries = getU16(p + kEntryCountOffset);
  const unsigned maxList = getU16(p + kMaxListOffset);
  const unsigned stringTable = getU16(p + kStringSizeOffset);
  if (entries < 2 || entries > kMaxId + 1) {
    error = at(kEntryCountOffset) + "entry count E=" + std::to_string(entries) + " is outside 2.." +
            std::to_string(kMaxId + 1);
    return false;
  }

  std::vector<Entry> kind(entries, Entry::Unused);
  std::vector<bool> hasText(entries, false);
  // Named as the parent of an element or the owner of an attribute name or
  // text; its own record may come later in the file.
  std::vector<bool> referencedAsElement(entries, false);
  unsigned long strings = 0;
  unsigned largest = 0;
  std::size_t pos = kHeaderSize;
  while (pos < size) {
    const std::size_t recordStart = pos;
    if (size - pos < 2) {
      error = at(pos) + "file ends inside a record's length";
      return false;
    }
    const unsigned length = getU16(p + pos);
    if (length > stringTable) {
      error = at(pos) + "string length " + std::to_string(length) + " exceeds the string-table size S=" +
              std::to_string(stringTable);
      return false;
    }
    pos += 2;
    if (size - pos < length + 3u) {
      error = at(pos) + "file ends inside a record's string, type or count";
      return false;
    }
    pos += length;
    strings += length + 1;
    if (strings > stringTable) {
      error = at(recordStart) + "strings overflow the string-table size S=" + std::to_string(stringTable);
      return false;
    }
    const unsigned char type = p[pos];
    if (type != kElement && type != kAttributeName && type != kAttributeValue && type != kText) {
      error = at(pos) + "unknown record type " + hex8(type).replace(2, 6, "");
      return false;
    }
    ++pos;
    const unsigned count = getU16(p + pos);
    if (count > maxList) {
      error = at(pos) + "id-list length " + std::to_string(count) + " exceeds M=" + std::to_string(maxList);
      return false;
    }
    pos += 2;
    const bool hasOwners = type != kAttributeValue;
    const std::size_t lists = static_cast<std::size_t>(count) * (hasOwners ? 4 : 2);
    if (size - pos < lists) {
      error = at(pos) + "file ends inside a record's id lists";
      return false;
    }
    largest = count > largest ? count : largest;
    for (unsigned i = 0; i < count; ++i) {
      const std::size_t idAt = pos + 2 * i;
      const std::size_t ownerAt = pos + 2 * (count + i);
      const unsigned id = getU16(p + idAt);
      const unsigned owner = hasOwners ? getU16(p + ownerAt) : 0;
      if (id == 0 || id >= entries) {
        error = at(idAt) + "id " + std::to_string(id) + " is outside 1.." + std::to_string(entries - 1);
        return false;
      }
      if (kind[id] != Entry::Unused) {
        error = at(idAt) + "id " + std::to_string(id) + " is used twice";
        return false;
      }
      switch (type) {
        case kElement:
          if (id == 1 ? owner != 0 : (owner == 0 || owner >= id)) {
            error = at(ownerAt) + "element " + std::to_string(id) + " has parent " + std::to_string(owner) +
                    (id == 1 ? " (the root has none)" : " (must be between 1 and the element's id)");
            return false;
          }
          if (owner != 0) referencedAsElement[owner] = true;
          kind[id] = Entry::Element;
          ++m_stats.elements;
          break;
        case kAttributeName:
        case kText:
          if (owner == 0 || owner >= id || (kind[owner] != Entry::Element && kind[owner] != Entry::Unused)) {
            error = at(ownerAt) + (type == kText ? "text " : "attribute name ") + std::to_string(id) +
                    " belongs to " + std::to_string(owner) + ", which is not an element numbered before it";
            return false;
          }
          referencedAsElement[owner] = true;
          if (type == kText) {
            if (hasText[owner]) {
              error = at(idAt) + "element " + std::to_string(owner) + " has a second text";
              return false;
            }
            hasText[owner] = true;
            ++m_stats.texts;
          } else {
            ++m_stats.attributes;
          }
          kind[id] = type == kText ? Entry::Text : Entry::AttributeName;
          break;
        default:  // value
          if (id < 2 || kind[id - 1] != Entry::AttributeName) {
            error = at(idAt) + "attribute value " + std::to_string(id) + " has no attribute name " +
                    std::to_string(id - 1) + " before it";
            return false;
          }
          kind[id] = Entry::AttributeValue;
          break;
      }
    }
    pos += lists;
    ++m_stats.records;
  }
  for (unsigned id = 1; id < entries; ++id) {
    if (referencedAsElement[id] && kind[id] != Entry::Element) {
      error = at(kEntryCountOffset) + "entry " + std::to_string(id) + " is a parent or owner but not an element";
      return false;
    }
    if (kind[id] == Entry::Unused) {
      error = at(kEntryCountOffset) + "id " + std::to_string(id) + " below E=" + std::to_string(entries) +
              " is never used";
      return false;
    }
    if (kind[id] == Entry::AttributeName && (id + 1 >= entries || kind[id + 1] != Entry::AttributeValue)) {
      error = at(kEntryCountOffset) + "attribute name " + std::to_string(id) + " has no value";
      return false;
    }
  }
  if (kind[1] != Entry::Element) {
    error = at(kEntryCountOffset) + "id 1 is not the root element";
    return false;
  }
  if (strings != stringTable) {
    error = at(kStringSizeOffset) + "string-table size S=" + std::to_string(stringTable) + " but the records need " +
            std::to_string(strings);
    return false;
  }
  if (largest != maxList) {
    error = at(kMaxListOffset) + "largest id list M=" + std::to_string(maxList) + " but the longest record has " +
            std::to_string(largest);
    return false;
  }
  m_stats.entryCount = entries;
  m_stats.maxList = maxList;
  m_stats.stringTable = stringTable;
  return true;
}

}  // namespace kavxml
