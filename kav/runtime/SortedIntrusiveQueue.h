// A singly linked list in ascending key order, linked through a link field
// of the elements themselves, so that inserting and removing allocate
// nothing. A new element goes behind every element whose key is less than
// or equal to its own: equal keys keep their insertion order. Elements are
// found by their id. Not locked; the owner guards it.
#ifndef KAV_RUNTIME_SORTEDINTRUSIVEQUEUE_H
#define KAV_RUNTIME_SORTEDINTRUSIVEQUEUE_H

#include <cstdint>

template <class Node, Node* (Node::*GetNext)() const, void (Node::*SetNext)(Node*), uint64_t (Node::*GetKey)() const,
          unsigned int (Node::*GetId)() const>
class SortedIntrusiveQueue {
 public:
  SortedIntrusiveQueue() = default;
  SortedIntrusiveQueue(const SortedIntrusiveQueue&) = delete;
  SortedIntrusiveQueue& operator=(const SortedIntrusiveQueue&) = delete;

  // Links a node that is not null; true when it became the first.
  bool insert(Node* node) {
    Node* prev = nullptr;
    Node* cur = m_pHead;
    while (cur != nullptr && (cur->*GetKey)() <= (node->*GetKey)()) {
      prev = cur;
      cur = (cur->*GetNext)();
    }
    (node->*SetNext)(cur);
    if (prev == nullptr)
      m_pHead = node;
    else
      (prev->*SetNext)(node);
    return prev == nullptr;
  }

  // Unlinks and returns the first node with that id, or null.
  Node* remove(unsigned int id) {
    Node* prev = nullptr;
    for (Node* cur = m_pHead; cur != nullptr; prev = cur, cur = (cur->*GetNext)()) {
      if ((cur->*GetId)() != id) continue;
      if (prev == nullptr)
        m_pHead = (cur->*GetNext)();
      else
        (prev->*SetNext)((cur->*GetNext)());
      (cur->*SetNext)(nullptr);
      return cur;
    }
    return nullptr;
  }

  // Unlinks and returns the first node, or null.
  Node* removeFirst() {
    Node* first = m_pHead;
    if (first != nullptr) {
      m_pHead = (first->*GetNext)();
      (first->*SetNext)(nullptr);
    }
    return first;
  }

  // The first node, still linked, or null.
  Node* first() const { return m_pHead; }

 private:
  Node* m_pHead = nullptr;
};

#endif
