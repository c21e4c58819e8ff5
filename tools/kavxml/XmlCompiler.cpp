#include "tools/kavxml/XmlCompiler.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "tools/kavxml/BinaryXmlFormat.h"

namespace kavxml {

namespace {

struct Attribute {
  std::string_view name;
  std::string_view value;
  unsigned nameId = 0;  // the value's id is nameId + 1
};

struct Element {
  std::string_view name;
  unsigned id = 0;
  unsigned parentId = 0;
  std::vector<unsigned> children;  // indices into the element table
  std::vector<Attribute> attributes;
  std::string text;
  unsigned textId = 0;  // 0: no text
};

struct Record {
  std::string_view text;
  unsigned char type = 0;
  std::vector<std::pair<unsigned, unsigned>> ids;  // (A, B)
};

// Groups occurrences of one role by their string, records in order of the
// string's first occurrence.
class RecordGroup {
 public:
  explicit RecordGroup(unsigned char type) : m_type(type) {}
  void add(std::string_view text, unsigned id, unsigned owner) {
    auto it = m_index.find(text);
    if (it == m_index.end()) {
      it = m_index.emplace(text, m_records.size()).first;
      m_records.push_back(Record{text, m_type, {}});
    }
    m_records[it->second].ids.emplace_back(id, owner);
  }
  void appendTo(std::vector<Record>& out) {
    for (Record& r : m_records) out.push_back(std::move(r));
    m_records.clear();
    m_index.clear();
  }

 private:
  unsigned char m_type;
  std::map<std::string_view, std::size_t> m_index;
  std::vector<Record> m_records;
};

}  // namespace

std::string XmlCompiler::position(const char* text, std::size_t size, std::ptrdiff_t offset) {
  if (offset < 0) return "document";
  std::size_t end = std::min(static_cast<std::size_t>(offset), size);
  unsigned line = 1;
  unsigned column = 1;
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool XmlCompiler::compileText(const char* text, std::size_t size, std::vector<unsigned char>& out,
                              std::string& error) {
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text, size, pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    error = position(text, size, parsed.offset) + ": " + parsed.description();
    return false;
  }
  pugi::xml_node root;
  for (pugi::xml_node n : doc.children()) {
    if (n.type() != pugi::node_element) continue;
    if (root) {
      error = position(text, size, n.offset_debug()) + ": second root element <" + n.name() + ">";
      return false;
    }
    root = n;
  }
  if (!root) {
    error = position(text, size, static_cast<std::ptrdiff_t>(size)) + ": no root element";
    return false;
  }
  std::ptrdiff_t offset = -1;
  if (!compile(root, out, error, offset)) {
    error = position(text, size, offset) + ": " + error;
    return false;
  }
  return true;
}

bool XmlCompiler::compile(const pugi::xml_node& root, std::vector<unsigned char>& out, std::string& error,
                          std::ptrdiff_t& nodeOffset) {
  m_stats = DocumentStats();
  nodeOffset = -1;
  out.clear();

  // Element table in document order with ids assigned. An explicit stack
  // keeps deep documents off the call stack.
  std::vector<Element> elements;
  unsigned nextId = 1;
  struct Pending {
    pugi::xml_node node;
    std::size_t parentIndex;  // SIZE_MAX for the root
  };
  std::vector<Pending> stack{{root, SIZE_MAX}};
  bool idsExhausted = false;
  while (!stack.empty()) {
    Pending p = stack.back();
    stack.pop_back();
    Element e;
    e.name = p.node.name();
    e.id = nextId++;
    e.parentId = p.parentIndex == SIZE_MAX ? 0 : elements[p.parentIndex].id;
    for (pugi::xml_attribute a : p.node.attributes()) e.attributes.push_back(Attribute{a.name(), a.value(), 0});
    std::stable_sort(e.attributes.begin(), e.attributes.end(),
                     [](const Attribute& x, const Attribute& y) { return x.name < y.name; });
    for (std::size_t i = 1; i < e.attributes.size(); ++i) {
      if (e.attributes[i].name == e.attributes[i - 1].name) {
        error = "duplicate attribute '" + std::string(e.attributes[i].name) + "' in <" + std::string(e.name) + ">";
        nodeOffset = p.node.offset_debug();
        return false;
      }
    }
    for (Attribute& a : e.attributes) {
      a.nameId = nextId;
      nextId += 2;
    }
    for (pugi::xml_node c : p.node.children()) {
      if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) e.text += c.value();
    }
    if (!e.text.empty()) e.textId = nextId++;
    if (nextId - 1 > kMaxId && !idsExhausted) {
      idsExhausted = true;
      nodeOffset = p.node.offset_debug();
    }
    std::size_t index = elements.size();
    if (p.parentIndex != SIZE_MAX) elements[p.parentIndex].children.push_back(index);
    elements.push_back(std::move(e));
    // Children go on the stack in reverse so that they come off in order.
    std::vector<pugi::xml_node> kids;
    for (pugi::xml_node c : p.node.children(/*all*/)) {
      if (c.type() == pugi::node_element) kids.push_back(c);
    }
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back(Pending{*it, index});
  }
  unsigned highestId = nextId - 1;
  if (highestId > kMaxId) {
    error = "document too large: it has " + std::to_string(highestId) +
            " occurrences (elements, attribute names, attribute values and texts); the format's signed 16-bit ids allow at most " +
            std::to_string(kMaxId) + " (limit E)";
    return false;
  }

  std::vector<Record> records;

  // Element records. Only the order of siblings matters to the reader (a
  // parent named later is created when first referenced), so the child
  // sequences of all elements are interleaved greedily: each run takes one
  // name and consumes, from every sequence whose next element has that
  // name, all consecutive elements of that name. The name with the most
  // waiting sequences goes first (ties: the lowest waiting id).
  {
    struct Sequence {
      unsigned parentId;
      std::vector<unsigned> items;  // element indices
      std::size_t pos = 0;
    };
    std::vector<Sequence> sequences;
    sequences.push_back(Sequence{0, {0}, 0});
    for (const Element& e : elements) {
      if (!e.children.empty()) sequences.push_back(Sequence{e.id, e.children, 0});
    }
    using Bucket = std::set<std::pair<unsigned, std::size_t>>;  // (head id, sequence)
    std::map<std::string_view, Bucket> buckets;
    using Key = std::tuple<std::size_t, unsigned, std::string_view>;  // (-size, lowest head id, name)
    auto keyOf = [](std::string_view name, const Bucket& b) {
      return Key(SIZE_MAX - b.size(), b.begin()->first, name);
    };
    std::set<Key> order;
    auto enqueue = [&](std::size_t s) {
      const Element& head = elements[sequences[s].items[sequences[s].pos]];
      Bucket& b = buckets[head.name];
      if (!b.empty()) order.erase(keyOf(head.name, b));
      b.emplace(head.id, s);
      order.insert(keyOf(head.name, b));
    };
    for (std::size_t s = 0; s < sequences.size(); ++s) enqueue(s);
    while (!order.empty()) {
      std::string_view name = std::get<2>(*order.begin());
      order.erase(order.begin());
      Bucket members = std::move(buckets[name]);
      buckets.erase(name);
      Record r{name, kElement, {}};
      for (const auto& m : members) {
        Sequence& seq = sequences[m.second];
        while (seq.pos < seq.items.size() && elements[seq.items[seq.pos]].name == name) {
          r.ids.emplace_back(elements[seq.items[seq.pos]].id, seq.parentId);
          ++seq.pos;
        }
        if (seq.pos < seq.items.size()) enqueue(m.second);
      }
      std::sort(r.ids.begin(), r.ids.end());
      records.push_back(std::move(r));
    }
  }

  // Attribute names, then values (a value needs its name), then texts.
  RecordGroup names(kAttributeName);
  RecordGroup values(kAttributeValue);
  RecordGroup texts(kText);
  for (const Element& e : elements) {
    for (const Attribute& a : e.attributes) {
      names.add(a.name, a.nameId, e.id);
      values.add(a.value, a.nameId + 1, 0);
      ++m_stats.attributes;
    }
    if (e.textId != 0) {
      texts.add(e.text, e.textId, e.id);
      ++m_stats.texts;
    }
  }
  names.appendTo(records);
  values.appendTo(records);
  texts.appendTo(records);

  unsigned long stringTable = 0;
  unsigned maxList = 0;
  for (const Record& r : records) {
    stringTable += r.text.size() + 1;
    maxList = std::max<unsigned>(maxList, static_cast<unsigned>(r.ids.size()));
  }
  if (stringTable > kMaxStringTable) {
    error = "document too large: its strings need " + std::to_string(stringTable) +
            " bytes; the format's 16-bit string-table size allows at most " + std::to_string(kMaxStringTable) +
            " (limit S)";
    return false;
  }

  m_stats.elements = static_cast<unsigned>(elements.size());
  m_stats.records = static_cast<unsigned>(records.size());
  m_stats.entryCount = highestId + 1;
  m_stats.maxList = maxList;
  m_stats.stringTable = static_cast<unsigned>(stringTable);
  if (m_stats.records > 0xFFFF) m_stats.records = 0xFFFF;  // statistics field only

  out.assign(kHeaderSize, 0);
  std::memcpy(&out[kIdentOffset], kIdent, std::strlen(kIdent));
  std::memcpy(&out[kVersionOffset], kVersion, std::strlen(kVersion));
  putU16(out, kEntryCountOffset, m_stats.entryCount);
  putU16(out, kRecordCountOffset, m_stats.records);
  putU16(out, kMaxListOffset, m_stats.maxList);
  putU16(out, kElementCountOffset, m_stats.elements);
  putU16(out, kAttributeCountOffset, m_stats.attributes);
  putU16(out, kTextCountOffset, m_stats.texts);
  putU16(out, kStringSizeOffset, m_stats.stringTable);
  for (const Record& r : records) {
    appendU16(out, static_cast<unsigned>(r.text.size()));
    out.insert(out.end(), r.text.begin(), r.text.end());
    out.push_back(r.type);
    appendU16(out, static_cast<unsigned>(r.ids.size()));
    for (const auto& id : r.ids) appendU16(out, id.first);
    if (r.type != kAttributeValue) {
      for (const auto& id : r.ids) appendU16(out, id.second);
    }
  }
  uint32_t sum = bodyChecksum(out.data() + kHeaderSize, out.size() - kHeaderSize);
  out[kChecksumOffset] = static_cast<unsigned char>(sum >> 24);
  out[kChecksumOffset + 1] = static_cast<unsigned char>(sum >> 16);
  out[kChecksumOffset + 2] = static_cast<unsigned char>(sum >> 8);
  out[kChecksumOffset + 3] = static_cast<unsigned char>(sum);
  return true;
}

}  // namespace kavxml
