#include "kav/tree/config/BinaryReaderFactory.h"

#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BinaryReaderParser.h"

namespace {
BinaryReaderFactory* g_factory = nullptr;
std::mutex g_factoryLock;
}  // namespace

BinaryReaderFactory* BinaryReaderFactory::getInstance() {
  std::lock_guard<std::mutex> g(g_factoryLock);
  if (g_factory == nullptr) g_factory = new BinaryReaderFactory();
  return g_factory;
}

void BinaryReaderFactory::destroyInstance() {
  std::lock_guard<std::mutex> g(g_factoryLock);
  delete g_factory;
  g_factory = nullptr;
}

BinaryReaderFactory::BinaryReaderFactory() { BinaryReaderNode::initMemoryPool(); }

BinaryReaderFactory::~BinaryReaderFactory() { clearBinaryReaderCache(); }

const BinaryReaderNode* BinaryReaderFactory::getBinaryReaderNode(const kavstl::string& path) {
  std::lock_guard<std::recursive_mutex> g(m_mutex);
  auto it = m_trees.find(path);
  if (it != m_trees.end()) return it->second;
  BinaryReaderParser parser(path);
  parser.getBinaryReaderRootNode();
  BinaryReaderNode* root = parser.releaseRoot();
  if (root == nullptr) KAV_TRACE_STR(KAVE, "BinaryReaderFactory: no tree for %s", path);
  m_trees.emplace(path, root);
  return root;
}

void BinaryReaderFactory::clearBinaryReaderCache() {
  std::lock_guard<std::recursive_mutex> g(m_mutex);
  KAV_TRACE(KAVT, "BinaryReaderFactory::clearBinaryReaderCache %u trees", static_cast<unsigned int>(m_trees.size()));
  for (auto& entry : m_trees) delete entry.second;
  m_trees.clear();
}

unsigned int BinaryReaderFactory::getCacheSize() {
  std::lock_guard<std::recursive_mutex> g(m_mutex);
  return static_cast<unsigned int>(m_trees.size());
}

const BinaryReaderNode* getBinaryReaderNode(const kavstl::string& path) {
  return BinaryReaderFactory::getInstance()->getBinaryReaderNode(path);
}

void clearBinaryReaderCache() { BinaryReaderFactory::getInstance()->clearBinaryReaderCache(); }
