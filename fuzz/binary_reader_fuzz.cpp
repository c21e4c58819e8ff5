// libFuzzer target for the binary configuration reader: any byte string is
// read as a configuration file. The checksum check is switched off so that
// generated inputs reach the records; the version must still be "1.4".
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "kav/tree/config/StringToId.h"

namespace {

unsigned int g_attributeId = 0;

// The number and hexadecimal parsers see every attribute value.
std::size_t parseValue(const kavstl::string& text) {
  unsigned int v = 0;
  BaseErrorData rc = getVal(text, v, g_attributeId);
  unsigned char buf[16];
  unsigned int len = 0;
  BaseErrorData hex = readHexData(buf, &len, sizeof buf, text);
  if (len > sizeof buf) __builtin_trap();
  return v + len + rc.getRcWithoutLogFlag() + hex.getRcWithoutLogFlag();
}

// Touches every node, attribute and text so that the sanitizers see any
// dangling or out-of-range data the reader might have left behind.
std::size_t walk(const BinaryReaderNode& root) {
  std::size_t total = 0;
  std::vector<const BinaryReaderNode*> work{&root};
  while (!work.empty()) {
    const BinaryReaderNode* n = work.back();
    work.pop_back();
    total += n->getName().size() + n->getValue().size();
    for (const auto& a : n->getAttributes()) {
      kavstl::string v;
      if (n->getAttributeValue(a.first, v, true) == 0) total += v.size() + parseValue(v);
    }
    BinaryReaderNode::NodeList_t same;
    n->getChildrenWithNodeName(n->getName(), same);
    total += same.size();
    for (const BinaryReaderNode* c : n->getChildren()) work.push_back(c);
  }
  return total;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  BinaryReaderParser::setChecksumCheck(false);
  g_attributeId = get_id_by_string("fuzzedAttribute");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  bool complete = false;
  BinaryReaderNode* root = BinaryReaderParser::parseBuffer(data, size, &complete);
  if (root != nullptr) {
    volatile std::size_t sink = walk(*root);
    (void)sink;
    BinaryReaderNode* again = BinaryReaderParser::parseBuffer(data, size, nullptr);
    // Reading is deterministic.
    if (again == nullptr || *again != *root) __builtin_trap();
    delete again;
  }
  delete root;
  return 0;
}
