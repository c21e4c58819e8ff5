#include "kav/tree/objects/Facade.h"

#include <cstdio>
#include <cstring>

#include "kav/runtime/GarbageCollector.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderFactory.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BuildBase.h"
#include "kav/tree/config/FileLookup.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/config/dyn_func_call.h"

namespace {

const char kSource[] = "kav/Facade";
const char kRules[] = "RulesFacade";

}  // namespace

Facade::Facade() { std::memcpy(m_tag, "FACADE", sizeof m_tag); }

Facade::~Facade() {}

BaseErrorData Facade::buildTree(const kavstl::string& mainType, const kavstl::string& subType, BuildBase** top,
                                const BinaryReaderNode* context) {
  KAV_TRACE_STR(KAVT, "Facade::buildTree %s top=%p", mainType, top != nullptr ? *top : nullptr);
  m_mainType = mainType;
  m_subType = subType;
  BaseErrorData rc;
  bool logged = false;
  kavstl::string path, name, parseName;
  if (top == nullptr) {
    KAV_TRACE(KAVE, "Facade::buildTree without top pointer");
    rc = 0x7000;
  } else {
    rc = get_xml_file_name(mainType, subType, path, name, parseName);
  }
  if (rc == 0 && !path.empty()) {
    const BinaryReaderNode* root = getBinaryReaderNode(path);
    const BinaryReaderNode* topNode = nullptr;
    if (root == nullptr) {
      KAV_TRACE_STR(KAVE, "Facade::buildTree no tree in %s", path);
      rc = 0x7140;
      rc.setLogMode(2);
    } else {
      rc = findTop(name, root, &topNode);
    }
    bool madeTop = false;
    if (rc == 0 && *top == nullptr) {
      *top = buildObj(topNode, rc);
      madeTop = *top != nullptr;
      if (*top == nullptr) {
        KAV_TRACE_STR(KAVE, "Facade::buildTree no top object for %s", path);
        if (rc == 0) rc = 0x7000;
      }
    }
    if (rc == 0 && *top != nullptr) {
      rc = (*top)->setAttributes(topNode, context, nullptr);
      if (!parseName.empty()) (*top)->setName(get_id_by_string(parseName));
      if (rc == 0) {
        makeChildren(topNode, context, *top);
      } else {
        KAV_TRACE_STR(KAVE, "Facade::buildTree top of %s refused its attributes rc=0x%08X", path, rc.getRc());
        rc.microcodeLog(kSource, __LINE__, kRules, rc.getLogMode(), false);
        logged = true;
        if (madeTop) {
          // The object is not the caller's: it leaves with the failed build.
          GarbageCollector::getInstance()->add(*top);
          *top = nullptr;
        }
      }
    }
  }
  if (rc != 0 && !logged) rc.microcodeLog(kSource, __LINE__, kRules, rc.getLogMode(), false);
  KAV_TRACE_STR(KAVT, "Facade::buildTree %s done rc=0x%08X", mainType, rc.getRc());
  return rc;
}

BaseErrorData Facade::findTop(const kavstl::string& name, const BinaryReaderNode* root,
                              const BinaryReaderNode** top) {
  BaseErrorData rc;
  *top = nullptr;
  if (root != nullptr) {
    for (const BinaryReaderNode* child : root->getChildren()) {
      if (child->getName() == name) {
        *top = child;
        return rc;
      }
    }
  }
  KAV_TRACE_STR(KAVE, "Facade::findTop no top element %s", name);
  rc = 0x7148;
  rc.setLogMode(2);
  return rc;
}

BaseErrorData Facade::makeChildren(const BinaryReaderNode* node, const BinaryReaderNode* context,
                                   BuildBase* parent) {
  BaseErrorData result;
  int index = 0;
  for (const BinaryReaderNode* child : node->getChildren()) {
    const int childIndex = index++;
    kavstl::string skip;
    getAttributeString(skip, kav::sid::SKIP_NODE, *child, true);
    if (skip == "true") {
      KAV_TRACE_STR(KAVT, "Facade::makeChildren skips %s", child->getName());
      continue;
    }
    BaseErrorData rc;
    BuildBase* object = buildObj(child, rc);
    if (object == nullptr) {
      char text[512];
      std::snprintf(text, sizeof text, "Facade::makeChildren failure creating object for child#=%d of parentName=%s",
                    childIndex, node->getName().c_str());
      if (rc == 0) rc = 0x7000;
      rc.microcodeLog(kSource, __LINE__, text, 2, false);
      result = rc;
      continue;
    }
    if (rc == 0) rc = object->setAttributes(child, context, parent);
    if (rc != 0) {
      KAV_TRACE_STR(KAVE, "Facade::makeChildren %s refused its attributes rc=0x%08X", child->getName(), rc.getRc());
      rc.microcodeLog(kSource, __LINE__, kRules, 1, false);
      GarbageCollector::getInstance()->add(object);
      result = rc;
      continue;
    }
    BaseErrorData linked = parent->addChild(object);
    if (linked != 0) KAV_TRACE(KAVE, "Facade::makeChildren addChild rc=0x%08X", linked.getRc());
    if (child->hasChildren()) result = makeChildren(child, context, object);
  }
  return result;
}

BuildBase* Facade::buildObj(const BinaryReaderNode* element, BaseErrorData& rc) {
  kavstl::string className;
  if (getAttributeString(className, kav::sid::CLASS_NAME, *element, true) != 0) {
    KAV_TRACE_STR(KAVE, "Facade::buildObj no attribute %s in element", get_string_by_id(kav::sid::CLASS_NAME));
    KAV_TRACE_STR(KAVE, "Facade::buildObj element %s has no class", element->getName());
    rc = 0x7144;
    rc.setLogMode(2);
    return nullptr;
  }
  kavstl::string library;
  if (getAttributeString(library, kav::sid::LIBRARY_NAME, *element, true) != 0) {
    KAV_TRACE_STR(KAVE, "Facade::buildObj no attribute %s in element", get_string_by_id(kav::sid::LIBRARY_NAME));
    KAV_TRACE_STR(KAVE, "Facade::buildObj element %s has no library", element->getName());
    rc = 0x7143;
    rc.setLogMode(2);
    return nullptr;
  }
  return objFactory(className, library, rc);
}

BuildBase* Facade::objFactory(kavstl::string& className, kavstl::string& library, BaseErrorData& rc) {
  void* handle = loadLibrary(library, rc);
  if (handle == nullptr) return nullptr;
  return callFunctionInLibrary<BuildBase*, void*>(handle, "create" + className, nullptr, rc);
}
