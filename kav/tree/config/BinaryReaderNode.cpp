#include "kav/tree/config/BinaryReaderNode.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "kav/runtime/KavTrace.h"
#include "kav/runtime/MemPool.h"

BinaryReaderNode::BinaryReaderNode(bool /*textNode*/) {}

// Deep trees (a chain of nested elements) must not recurse: the subtree is
// taken apart with an explicit work list.
BinaryReaderNode::~BinaryReaderNode() {
  std::vector<const BinaryReaderNode*> work(m_children.begin(), m_children.end());
  m_children.clear();
  while (!work.empty()) {
    BinaryReaderNode* n = const_cast<BinaryReaderNode*>(work.back());
    work.pop_back();
    work.insert(work.end(), n->m_children.begin(), n->m_children.end());
    n->m_children.clear();
    delete n;
  }
}

namespace {
// Nodes come from their own pool once it exists; a node made before (or
// after) carries that in a tag in front of it, so that every node goes back
// to where it came from.
std::atomic<MemPool*> g_nodePool{nullptr};
std::mutex g_nodePoolLock;
std::atomic<unsigned int> g_nodesInPool{0};

const unsigned int kPoolChunkKB = 30;
const std::size_t kTagSize = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
const uint32_t kFromHeap = 0x48454150u;  // "HEAP"
const uint32_t kFromPool = 0x504F4F4Cu;  // "POOL"
}  // namespace

void* BinaryReaderNode::operator new(std::size_t size) {
  void* block = nullptr;
  uint32_t tag = kFromHeap;
  {
    std::lock_guard<std::mutex> g(g_nodePoolLock);
    MemPool* pool = g_nodePool.load();
    if (pool != nullptr) {
      block = pool->allocate(static_cast<unsigned int>(size + kTagSize));
      if (block != nullptr) {
        tag = kFromPool;
        ++g_nodesInPool;
      }
    }
  }
  if (block == nullptr) block = ::operator new(size + kTagSize);
  *static_cast<uint32_t*>(block) = tag;
  return static_cast<char*>(block) + kTagSize;
}

void BinaryReaderNode::operator delete(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kTagSize;
  if (*static_cast<uint32_t*>(block) == kFromPool) {
    std::lock_guard<std::mutex> g(g_nodePoolLock);
    g_nodePool.load()->deallocate(block);
    --g_nodesInPool;
  } else {
    ::operator delete(block);
  }
}

void BinaryReaderNode::initMemoryPool() {
  std::lock_guard<std::mutex> g(g_nodePoolLock);
  if (g_nodePool.load() == nullptr) g_nodePool.store(new MemPool(kPoolChunkKB, true));
}

void BinaryReaderNode::terminateMemoryPool() {
  std::lock_guard<std::mutex> g(g_nodePoolLock);
  MemPool* pool = g_nodePool.load();
  if (pool == nullptr) return;
  if (g_nodesInPool.load() != 0) {
    // Nodes still alive need their pool; it stays.
    KAV_TRACE(KAVE, "BinaryReaderNode::terminateMemoryPool: %u nodes alive, pool kept", g_nodesInPool.load());
    return;
  }
  g_nodePool.store(nullptr);
  delete pool;
}

bool BinaryReaderNode::isPoolActive() { return g_nodePool.load() != nullptr; }

void BinaryReaderNode::getChildrenWithNodeName(const kavstl::string& name, NodeList_t& list) const {
  for (const BinaryReaderNode* c : m_children)
    if (c->m_name == name) list.push_back(c);
}

const BinaryReaderNode* BinaryReaderNode::getFirstChild() const {
  return m_children.empty() ? nullptr : m_children.front();
}

unsigned int BinaryReaderNode::getAttributeValue(const kavstl::string& name, kavstl::string& value,
                                                 bool optional) const {
  auto it = m_attributes.find(name);
  if (it == m_attributes.end()) {
    if (!optional) KAV_TRACE_STR(KAVE, "attribute %s missing", name);
    return 0x7145;
  }
  value = it->second;
  return 0;
}

void BinaryReaderNode::setFieldsOfNode(const kavstl::string& name, short sequence, short parent) {
  m_name = name;
  m_sequenceNumber = sequence;
  m_parentNumber = parent;
}

void BinaryReaderNode::addChild(const BinaryReaderNode* child) {
  if (child != nullptr) m_children.push_back(child);
}

void BinaryReaderNode::addAttribute(const kavstl::string& name, const kavstl::string& value) {
  m_attributes.emplace(name, value);
}

namespace {
// -1, 0, 1 for the node's own fields (children not included).
int compareOwn(const BinaryReaderNode& a, const BinaryReaderNode& b) {
  if (int c = a.getName().compare(b.getName())) return c < 0 ? -1 : 1;
  if (int c = a.getValue().compare(b.getValue())) return c < 0 ? -1 : 1;
  if (a.getAttributes() < b.getAttributes()) return -1;
  if (b.getAttributes() < a.getAttributes()) return 1;
  return 0;
}

// Lexicographic comparison of the two trees in prefix order, without recursion.
int compareTrees(const BinaryReaderNode& a, const BinaryReaderNode& b) {
  struct Frame {
    BinaryReaderNode::NodeList_t::const_iterator ia, ea, ib, eb;
  };
  if (int c = compareOwn(a, b)) return c;
  std::vector<Frame> stack;
  stack.push_back({a.getChildren().begin(), a.getChildren().end(), b.getChildren().begin(), b.getChildren().end()});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.ia == f.ea || f.ib == f.eb) {
      if (f.ia != f.ea) return 1;
      if (f.ib != f.eb) return -1;
      stack.pop_back();
      continue;
    }
    const BinaryReaderNode* ca = *f.ia++;
    const BinaryReaderNode* cb = *f.ib++;
    if (int c = compareOwn(*ca, *cb)) return c;
    stack.push_back(
        {ca->getChildren().begin(), ca->getChildren().end(), cb->getChildren().begin(), cb->getChildren().end()});
  }
  return 0;
}
}  // namespace

bool BinaryReaderNode::operator==(const BinaryReaderNode& other) const { return compareTrees(*this, other) == 0; }

bool BinaryReaderNode::operator<(const BinaryReaderNode& other) const { return compareTrees(*this, other) < 0; }
