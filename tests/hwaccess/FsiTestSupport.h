// Shared pieces of the FSI factory and link tests: trace inspection and
// tree helpers.
#ifndef TESTS_HWACCESS_FSITESTSUPPORT_H
#define TESTS_HWACCESS_FSITESTSUPPORT_H

#include <string>
#include <vector>

#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/config/StringToId.h"
#include "trace_ravo.h"

namespace fsitest {

// The decoded records of a trace buffer ("KAVT", "KAVE", ...).
inline std::vector<std::string> traceLines(const char* buffer) {
  std::vector<std::string> lines;
  trace_ravo_decode(
      trace_ravo_find_buffer(buffer), [](void* c, const char* t) { static_cast<std::vector<std::string>*>(c)->push_back(t); },
      &lines);
  return lines;
}

inline unsigned int traceCount(const char* buffer, const std::string& text) {
  unsigned int n = 0;
  for (const std::string& line : traceLines(buffer))
    if (line.find(text) != std::string::npos) ++n;
  return n;
}

// Instance names of the node's children, in order.
inline std::vector<std::string> childNames(const QueryBase& node) {
  std::vector<std::string> names;
  for (const KavPtr<QueryBase>& child : node.getChildren()) names.push_back(get_string_by_id(child->getInstanceId()));
  return names;
}

inline void link(QueryBase* parent, QueryBase* child) {
  child->setParent(KavPtr<QueryBase>(parent));
  parent->addChild(KavPtr<QueryBase>(child));
}

}  // namespace fsitest

#endif
