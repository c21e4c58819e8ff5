#include "kav/tree/config/BinaryReaderParser.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderNode.h"

namespace {

std::atomic<bool> g_checksumCheck{true};

// Ids are kept as signed 16-bit sequence and parent numbers.
const unsigned int kIdLimit = 32768;

uint16_t be16(const unsigned char* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t be32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// What an entry of the occurrence table holds.
enum EntryKind : unsigned char {
  ENTRY_FREE = 0,
  ENTRY_PENDING,    // node made for an element named as a parent or owner before its own record
  ENTRY_ELEMENT,    // element defined by its own record
  ENTRY_ATTR_NAME,  // attribute name of element `owner`, text at `text`
  ENTRY_ATTR_VALUE,
  ENTRY_TEXT
};

struct HeapChunk {
  BinaryReaderNode* node = nullptr;
  uint16_t owner = 0;
  uint32_t text = 0;  // offset of the attribute name in the string table
  uint16_t textLen = 0;
  EntryKind kind = ENTRY_FREE;
  bool ownsData = false;  // pending node that already holds attributes or text
};

// Bounds-checked cursor over the body.
class Cursor {
 public:
  Cursor(const unsigned char* data, std::size_t size, std::size_t pos) : m_data(data), m_size(size), m_pos(pos) {}
  bool atEnd() const { return m_pos >= m_size; }
  std::size_t pos() const { return m_pos; }
  bool take(std::size_t n, const unsigned char*& out) {
    if (m_size - m_pos < n) return false;
    out = m_data + m_pos;
    m_pos += n;
    return true;
  }
  bool u16(uint16_t& v) {
    const unsigned char* p = nullptr;
    if (!take(2, p)) return false;
    v = be16(p);
    return true;
  }

 private:
  const unsigned char* m_data;
  std::size_t m_size;
  std::size_t m_pos;
};

}  // namespace

BinaryReaderParser::BinaryReaderParser(const kavstl::string& path) : m_path(path) {
  std::memset(&m_fileHeader, 0, sizeof(m_fileHeader));
}

BinaryReaderParser::~BinaryReaderParser() { delete m_pRoot; }

void BinaryReaderParser::setChecksumCheck(bool enabled) { g_checksumCheck.store(enabled); }

bool BinaryReaderParser::getChecksumCheck() { return g_checksumCheck.load(); }

uint32_t BinaryReaderParser::computeChecksum(const unsigned char* body, std::size_t size) {
  uint32_t sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += body[i];
  if (size > 0) sum += body[size - 1];
  return sum;
}

const BinaryReaderNode* BinaryReaderParser::getBinaryReaderRootNode() {
  if (!m_read) {
    m_read = true;
    if (verifyFile()) {
      readTree();
    } else {
      KAV_TRACE_STR(KAVE, "BinaryReaderParser: file %s rejected", m_path);
    }
    m_data.clear();
    m_data.shrink_to_fit();
  }
  return m_pRoot;
}

BinaryReaderNode* BinaryReaderParser::releaseRoot() {
  BinaryReaderNode* root = m_pRoot;
  m_pRoot = nullptr;
  return root;
}

bool BinaryReaderParser::verifyFile() {
  m_data.clear();
  FILE* f = std::fopen(m_path.c_str(), "rb");
  if (f == nullptr) {
    KAV_TRACE_STR(KAVE, "BinaryReaderParser: cannot open %s", m_path);
    return false;
  }
  unsigned char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) m_data.insert(m_data.end(), buf, buf + n);
  const bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (readError) {
    KAV_TRACE_STR(KAVE, "BinaryReaderParser: read error on %s", m_path);
    m_data.clear();
    return false;
  }
  return verifyBuffer(m_data.data(), m_data.size(), m_fileHeader, m_path.c_str());
}

void BinaryReaderParser::readTree() {
  KAV_TRACE_STR(KAVT, "BinaryReaderParser::readTree %s", m_path);
  delete m_pRoot;
  m_pRoot = nullptr;
  m_complete = false;
  if (m_data.size() <= kHeaderSize) return;
  m_pRoot = readBuffer(m_data.data(), m_data.size(), m_fileHeader, m_complete);
}

BinaryReaderNode* BinaryReaderParser::parseBuffer(const unsigned char* data, std::size_t size, bool* complete) {
  if (complete != nullptr) *complete = false;
  FileHeader_t header;
  if (data == nullptr || !verifyBuffer(data, size, header, "<memory>")) return nullptr;
  bool done = false;
  BinaryReaderNode* root = readBuffer(data, size, header, done);
  if (complete != nullptr) *complete = done;
  return root;
}

bool BinaryReaderParser::verifyBuffer(const unsigned char* data, std::size_t size, FileHeader_t& h,
                                      const char* path) {
  std::memset(&h, 0, sizeof(h));
  if (size < kHeaderSize) {
    KAV_TRACE_STR(KAVE, "BinaryReaderParser: %s shorter than its header (%u bytes)", path,
                  static_cast<unsigned int>(size));
    return false;
  }
  std::memcpy(h.ident, data, sizeof(h.ident));
  std::memcpy(h.version, data + 10, sizeof(h.version));
  h.entryCount = be16(data + 16);
  h.unused18 = be16(data + 18);
  h.maxIdListLength = be16(data + 20);
  h.unused22 = be16(data + 22);
  h.unused24 = be16(data + 24);
  h.unused26 = be16(data + 26);
  h.unused28 = be16(data + 28);
  h.unused30 = be16(data + 30);
  h.stringTableSize = be16(data + 32);
  h.unused34 = be16(data + 34);
  h.crc = be32(data + 36);

  bool ok = true;
  const std::size_t bodySize = size - kHeaderSize;
  if (bodySize == 0) {
    // Without a body there is nothing the checksum could cover.
    KAV_TRACE_STR(KAVE, "BinaryReaderParser: %s has no body", path);
    ok = false;
  } else if (g_checksumCheck.load()) {
    const uint32_t sum = computeChecksum(data + kHeaderSize, bodySize);
    if (sum != h.crc) {
      KAV_TRACE(KAVE, "BinaryReaderParser: checksum 0x%08X, file holds 0x%08X, %u body bytes", sum, h.crc,
                static_cast<unsigned int>(bodySize));
      std::cout << "CRC from file " << sum << " does not match saved m_fileHeader.crc " << h.crc << std::endl;
      ok = false;
    }
  }
  const char* nul = static_cast<const char*>(std::memchr(h.version, '\0', sizeof(h.version)));
  if (nul == nullptr || std::strcmp(h.version, "1.4") != 0) {
    char shown[sizeof(h.version) + 1] = {0};
    std::memcpy(shown, h.version, sizeof(h.version));
    KAV_TRACE_STR(KAVE, "BinaryReaderParser: version %s, expected 1.4", shown);
    ok = false;
  }
  return ok;
}

BinaryReaderNode* BinaryReaderParser::readBuffer(const unsigned char* data, std::size_t size,
                                                 const FileHeader_t& h, bool& complete) {
  complete = false;
  const unsigned int entryCount = h.entryCount;
  const unsigned int maxCount = h.maxIdListLength;
  const unsigned int stringSize = h.stringTableSize;

  std::vector<HeapChunk> entries(entryCount);
  std::vector<char> strings(stringSize, '\0');
  std::vector<uint16_t> idsA;
  std::vector<uint16_t> idsB;
  idsA.reserve(maxCount);
  idsB.reserve(maxCount);
  std::size_t stringPos = 0;
  unsigned int remaining = entryCount;
  Cursor in(data, size, kHeaderSize);
  bool fault = false;

  auto validId = [&](unsigned int id) { return id != 0 && id < entryCount && id < kIdLimit; };
  // An element's entry, or a free entry that its record may still define.
  auto mayBeElement = [&](unsigned int id) {
    const EntryKind k = entries[id].kind;
    return k == ENTRY_FREE || k == ENTRY_PENDING || k == ENTRY_ELEMENT;
  };
  // The node of an element named as parent or owner; made (pending) when the
  // element's own record has not come yet.
  auto elementNode = [&](unsigned int id) -> HeapChunk& {
    HeapChunk& e = entries[id];
    if (e.kind == ENTRY_FREE) {
      e.node = new BinaryReaderNode(false);
      e.kind = ENTRY_PENDING;
    }
    return e;
  };

  while (remaining != 0 && !fault) {
    if (in.atEnd()) break;
    const std::size_t recordPos = in.pos();
    uint16_t len = 0;
    if (!in.u16(len)) {
      KAV_TRACE(KAVE, "BinaryReaderParser: body ends inside a record at %u, %u occurrences left",
                static_cast<unsigned int>(recordPos), remaining);
      fault = true;
      break;
    }
    if (len > stringSize || stringPos + len + 1 > stringSize) {
      KAV_TRACE(KAVE, "BinaryReaderParser: string of %u bytes at %u beyond the string table (%u of %u used)", len,
                static_cast<unsigned int>(recordPos), static_cast<unsigned int>(stringPos), stringSize);
      fault = true;
      break;
    }
    const unsigned char* text = nullptr;
    const unsigned char* typeByte = nullptr;
    uint16_t count = 0;
    if (!in.take(len, text) || !in.take(1, typeByte) || !in.u16(count)) {
      KAV_TRACE(KAVE, "BinaryReaderParser: body ends inside the record at %u, %u occurrences left",
                static_cast<unsigned int>(recordPos), remaining);
      fault = true;
      break;
    }
    if (count > maxCount) {
      KAV_TRACE(KAVE, "BinaryReaderParser: record at %u lists %u ids, at most %u", static_cast<unsigned int>(recordPos),
                count, maxCount);
      fault = true;
      break;
    }
    const char type = static_cast<char>(*typeByte);
    idsA.clear();
    idsB.clear();
    bool truncated = false;
    for (unsigned int i = 0; i < count && !truncated; ++i) {
      uint16_t v = 0;
      if (!in.u16(v)) truncated = true;
      idsA.push_back(v);
    }
    if (type != 'v') {
      for (unsigned int i = 0; i < count && !truncated; ++i) {
        uint16_t v = 0;
        if (!in.u16(v)) truncated = true;
        idsB.push_back(v);
      }
    }
    if (truncated) {
      KAV_TRACE(KAVE, "BinaryReaderParser: id lists of the record at %u cut short, %u occurrences left",
                static_cast<unsigned int>(recordPos), remaining);
      fault = true;
      break;
    }
    std::memcpy(strings.data() + stringPos, text, len);
    const uint32_t textPos = static_cast<uint32_t>(stringPos);
    const kavstl::string str(strings.data() + stringPos, len);

    if (type != 'e' && type != 'a' && type != 'v' && type != 't') {
      KAV_TRACE(KAVE, "BinaryReaderParser: unknown record type 0x%02X at %u, record skipped",
                static_cast<unsigned char>(type), static_cast<unsigned int>(recordPos));
    }
    for (unsigned int i = 0; i < count && !fault; ++i) {
      if (remaining == 0) {
        KAV_TRACE(KAVE, "BinaryReaderParser: more occurrences than the %u entries", entryCount);
        fault = true;
        break;
      }
      --remaining;
      const unsigned int a = idsA[i];
      const unsigned int b = type == 'v' ? 0 : idsB[i];
      if (type != 'e' && type != 'a' && type != 'v' && type != 't') continue;
      if (!validId(a) || entries[a].kind > ENTRY_PENDING || (type != 'e' && entries[a].kind != ENTRY_FREE)) {
        KAV_TRACE(KAVE, "BinaryReaderParser: type 0x%02X id %u invalid or used twice (entries %u)",
                  static_cast<unsigned char>(type), a, entryCount);
        fault = true;
        break;
      }
      HeapChunk& entry = entries[a];
      switch (type) {
        case 'e': {
          if (b == 0 ? a != 1 : (b >= a || !validId(b) || !mayBeElement(b))) {
            KAV_TRACE(KAVE, "BinaryReaderParser: element %u with invalid parent %u", a, b);
            fault = true;
            break;
          }
          if (entry.node == nullptr) entry.node = new BinaryReaderNode(false);
          entry.node->setFieldsOfNode(str, static_cast<short>(a), static_cast<short>(b));
          entry.kind = ENTRY_ELEMENT;
          entry.owner = static_cast<uint16_t>(b);
          if (b != 0) elementNode(b).node->addChild(entry.node);
          break;
        }
        case 'a':
        case 't': {
          // The owner's own record may still come: its node is made now
          // and filled in by that record.
          if (b == 0 || b >= a || !mayBeElement(b)) {
            KAV_TRACE(KAVE, "BinaryReaderParser: type 0x%02X id %u owned by %u, not an element before it",
                      static_cast<unsigned char>(type), a, b);
            fault = true;
            break;
          }
          HeapChunk& owner = elementNode(b);
          if (owner.kind == ENTRY_PENDING) owner.ownsData = true;
          entry.owner = static_cast<uint16_t>(b);
          if (type == 'a') {
            entry.kind = ENTRY_ATTR_NAME;
            entry.text = textPos;
            entry.textLen = len;
          } else {
            entry.kind = ENTRY_TEXT;
            owner.node->appendText(str);
          }
          break;
        }
        case 'v': {
          const HeapChunk* name = a >= 2 ? &entries[a - 1] : nullptr;
          if (name == nullptr || name->kind != ENTRY_ATTR_NAME) {
            KAV_TRACE(KAVE, "BinaryReaderParser: value id %u without its attribute name", a);
            fault = true;
            break;
          }
          entry.kind = ENTRY_ATTR_VALUE;
          entry.owner = name->owner;
          entries[name->owner].node->addAttribute(kavstl::string(strings.data() + name->text, name->textLen), str);
          break;
        }
        default:
          break;
      }
    }
    stringPos += static_cast<std::size_t>(len) + 1;
  }
  if (!fault) {
    if (!in.atEnd()) {
      KAV_TRACE(KAVE, "BinaryReaderParser: %u bytes after the last of %u occurrences",
                static_cast<unsigned int>(size - in.pos()), entryCount);
    } else if (remaining > 1) {
      // Ids 1 to E - 1 are each used once: a body that ends at a record
      // boundary with ids left over was cut short.
      KAV_TRACE(KAVE, "BinaryReaderParser: body ends with %u of %u occurrences missing", remaining - 1,
                entryCount - 1);
    } else {
      complete = true;
    }
  }

  // Elements named but never defined are not linked anywhere. One named only
  // as a parent is dropped with what hangs below it; one that already holds
  // attributes or text makes the whole file refused, rather than a tree that
  // quietly lacks them.
  BinaryReaderNode* root = nullptr;
  bool refused = false;
  for (unsigned int i = 0; i < entryCount; ++i) {
    if (entries[i].kind == ENTRY_PENDING) {
      if (entries[i].ownsData) {
        KAV_TRACE(KAVE, "BinaryReaderParser: element %u owns attributes or text but is never defined", i);
        refused = true;
      }
      delete entries[i].node;
      complete = false;
    } else if (i == 1 && entries[i].kind == ENTRY_ELEMENT) {
      root = entries[i].node;
    }
  }
  if (refused) {
    delete root;
    root = nullptr;
    complete = false;
  } else if (root == nullptr) {
    KAV_TRACE(KAVE, "BinaryReaderParser: no root element, %u entries", entryCount);
    complete = false;
  }
  return root;
}
