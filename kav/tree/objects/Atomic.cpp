#include "kav/tree/objects/Atomic.h"

Atomic::Atomic() : m_mutex(IFOS_MUTEX_UNLOCKED) {}

Atomic::~Atomic() {}

unsigned long Atomic::mutexRequest() const { return m_mutex.mutexRequest(-1); }

unsigned long Atomic::mutexRelease() const { return m_mutex.mutexRelease(); }
