#include "kav/runtime/ServiceCallGate.h"

#include <thread>

void ServiceCallGate::open() { m_open.store(1); }

bool ServiceCallGate::close() {
  if (m_open.exchange(0) == 0) return false;
  // The calls under way hold the service's mutex only briefly.
  while (m_calls.load() != 0) std::this_thread::yield();
  return true;
}

ServiceCallGate::Call::Call(ServiceCallGate& gate) : m_gate(gate), m_entered(false) {
  m_gate.m_calls.fetch_add(1);
  if (m_gate.m_open.load() != 0) {
    m_entered = true;
  } else {
    m_gate.m_calls.fetch_sub(1);
  }
}

ServiceCallGate::Call::~Call() {
  if (m_entered) m_gate.m_calls.fetch_sub(1);
}
