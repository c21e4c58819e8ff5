// Reading a configuration tree: the library's binary reader against pugixml
// reading the same document as XML text, alone and with building the same
// node tree the library's reader yields. Documents: the compiled
// "IpDomainRoot" tree, a generated machine tree about ten times its size
// (at least 20 KB of XML) and a generated one near the format's limits.
// Bytes per second count the input each side reads (binary or XML text).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"
#include "tools/kavxml/XmlCompiler.h"

namespace {

struct Document {
  std::string name;
  std::string xml;
  std::vector<unsigned char> binary;
};

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A machine tree like the configuration describes: slots with plug
// detectors and card containers full of hardware objects, every object with
// its class, library and own instance name, and a few typed attributes.
std::string generateMachine(std::size_t targetBytes) {
  std::string xml = "<?xml version=\"1.0\"?>\n<GeneratedRoot>\n";
  xml += "  <IpDomain class=\"Container\" library=\"libquib.so\" instanceName=\"IpDomain\">\n";
  char line[512];
  for (unsigned slot = 0; xml.size() < targetBytes; ++slot) {
    std::snprintf(line, sizeof line,
                  "    <Slot class=\"Slot\" library=\"libquib.so\" instanceName=\"Slot%03u\" slotId=\"0x%05X\">\n"
                  "      <PlugDetect class=\"PlugDetectHwrIp\" library=\"libquib.so\" instanceName=\"PlugDetect%03u\" "
                  "plugDetectId=\"%u\"/>\n"
                  "      <Card class=\"Container\" library=\"libquib.so\" instanceName=\"Card%03u\">\n",
                  slot, 0x10001 + slot, slot, slot, slot);
    xml += line;
    for (unsigned d = 0; d < 4; ++d) {
      std::snprintf(line, sizeof line,
                    "        <ClockDomain class=\"ClockDomain\" library=\"libquib.so\" instanceName=\"CD%03u_%u\" "
                    "clockDomainType=\"%u\" frequency=\"%u\" spreading=\"%u\">\n"
                    "          <Pll class=\"PllHwdIcs842S02\" library=\"libquib.so\" instanceName=\"Pll%03u_%u\" "
                    "i2cAddress=\"0x%02X\" pattern=\"0x0A0B0C0D\"/>\n"
                    "          <Dio class=\"DioHwr\" library=\"libquib.so\" instanceName=\"Dio%03u_%u\" lines=\"%u,%u,%u\" "
                    "hidden=\"false\"/>\n"
                    "        </ClockDomain>\n",
                    slot, d, d + 1, 133000 + 1000 * d, 5 * d, slot, d, 0x60 + d, slot, d, d, d + 8, d + 16);
      xml += line;
    }
    xml += "      </Card>\n    </Slot>\n";
  }
  xml += "  </IpDomain>\n</GeneratedRoot>\n";
  return xml;
}

// The largest generated machine that still fits the format.
std::string generateLargest() {
  std::size_t lo = 1000, hi = 4000000;
  std::string best;
  kavxml::XmlCompiler compiler;
  while (hi - lo > 2000) {
    std::size_t mid = (lo + hi) / 2;
    std::string xml = generateMachine(mid);
    std::vector<unsigned char> bin;
    std::string error;
    if (compiler.compileText(xml.data(), xml.size(), bin, error)) {
      best = xml;
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return best;
}

Document makeDocument(const std::string& name, const std::string& xml) {
  Document d{name, xml, {}};
  kavxml::XmlCompiler compiler;
  std::string error;
  if (!compiler.compileText(xml.data(), xml.size(), d.binary, error)) {
    std::fprintf(stderr, "config_reader_bench: %s: %s\n", name.c_str(), error.c_str());
    d.binary.clear();
  }
  return d;
}

const std::vector<Document>& documents() {
  static const std::vector<Document> docs = [] {
    BinaryReaderNode::initMemoryPool();
    std::vector<Document> v;
    std::string base = readFile(QUIB_SOURCE_DIR "/config/IpDomainRoot.xml");
    v.push_back(makeDocument("IpDomainRoot", base));
    std::size_t target = base.size() * 10 < 20000 ? 20000 : base.size() * 10;
    v.push_back(makeDocument("Generated10x", generateMachine(target)));
    v.push_back(makeDocument("GeneratedLargest", generateLargest()));
    return v;
  }();
  return docs;
}

void describe(benchmark::State& state, const Document& d, std::size_t bytes) {
  state.SetLabel(d.name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["xml_bytes"] = static_cast<double>(d.xml.size());
  state.counters["bin_bytes"] = static_cast<double>(d.binary.size());
}

void BM_LibraryReader(benchmark::State& state) {
  const Document& d = documents()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) {
    bool complete = false;
    BinaryReaderNode* root = BinaryReaderParser::parseBuffer(d.binary.data(), d.binary.size(), &complete);
    if (root == nullptr || !complete) {
      state.SkipWithError("the reader refused the document");
      break;
    }
    benchmark::DoNotOptimize(root);
    delete root;
  }
  describe(state, d, d.binary.size());
}

void BM_PugixmlParse(benchmark::State& state) {
  const Document& d = documents()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(d.xml.data(), d.xml.size());
    if (!r) {
      state.SkipWithError("pugixml refused the document");
      break;
    }
    benchmark::DoNotOptimize(doc.first_child());
  }
  describe(state, d, d.xml.size());
}

// The node tree the library's reader makes, from pugixml's tree.
BinaryReaderNode* buildNodes(const pugi::xml_node& element, short parent, short& next) {
  BinaryReaderNode* node = new BinaryReaderNode(false);
  short self = next++;
  node->setFieldsOfNode(element.name(), self, parent);
  for (pugi::xml_attribute a : element.attributes()) {
    node->addAttribute(a.name(), a.value());
    next += 2;
  }
  std::string text;
  for (pugi::xml_node c : element.children()) {
    if (c.type() == pugi::node_element)
      node->addChild(buildNodes(c, self, next));
    else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      text += c.value();
  }
  if (!text.empty()) node->setTextNode(text);
  return node;
}

void BM_PugixmlParseAndBuild(benchmark::State& state) {
  const Document& d = documents()[static_cast<std::size_t>(state.range(0))];
  for (auto _ : state) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(d.xml.data(), d.xml.size());
    if (!r) {
      state.SkipWithError("pugixml refused the document");
      break;
    }
    short next = 1;
    BinaryReaderNode* root = buildNodes(doc.document_element(), 0, next);
    benchmark::DoNotOptimize(root);
    delete root;
  }
  describe(state, d, d.xml.size());
}

// Both sides must describe the same tree, or the comparison means nothing.
void BM_SameTree(benchmark::State& state) {
  const Document& d = documents()[static_cast<std::size_t>(state.range(0))];
  pugi::xml_document doc;
  doc.load_buffer(d.xml.data(), d.xml.size());
  short next = 1;
  BinaryReaderNode* fromXml = buildNodes(doc.document_element(), 0, next);
  BinaryReaderNode* fromBinary = BinaryReaderParser::parseBuffer(d.binary.data(), d.binary.size(), nullptr);
  bool same = fromBinary != nullptr && *fromXml == *fromBinary;
  delete fromXml;
  delete fromBinary;
  for (auto _ : state) benchmark::DoNotOptimize(same);
  if (!same) state.SkipWithError("the binary and the XML text describe different trees");
  state.SetLabel(d.name);
}

BENCHMARK(BM_SameTree)->DenseRange(0, 2)->Iterations(1);
BENCHMARK(BM_LibraryReader)->DenseRange(0, 2);
BENCHMARK(BM_PugixmlParse)->DenseRange(0, 2);
BENCHMARK(BM_PugixmlParseAndBuild)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
