#include "tools/kavxml/XmlDumper.h"

#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"

namespace kavxml {

bool XmlDumper::dump(const std::string& path, std::ostream& out, std::string& error) {
  const BinaryReaderNode* root = getBinaryReaderNode(path);
  if (root == nullptr) {
    error = "the library's reader yields no tree";
    clearBinaryReaderCache();
    return false;
  }
  pugi::xml_document doc;
  std::vector<std::pair<const BinaryReaderNode*, pugi::xml_node>> stack{{root, doc}};
  while (!stack.empty()) {
    auto [node, parent] = stack.back();
    stack.pop_back();
    pugi::xml_node element = parent.append_child(node->getName().c_str());
    for (const auto& attribute : node->getAttributes())
      element.append_attribute(attribute.first.c_str()).set_value(attribute.second.c_str());
    if (!node->getValue().empty()) element.append_child(pugi::node_pcdata).set_value(node->getValue().c_str());
    const BinaryReaderNode::NodeList_t& children = node->getChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.emplace_back(*it, element);
  }
  // Children were pushed in reverse, so they come off (and are appended) in order.
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  clearBinaryReaderCache();
  return true;
}

}  // namespace kavxml
