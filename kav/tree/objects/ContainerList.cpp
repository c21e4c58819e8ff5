#include "kav/tree/objects/ContainerList.h"

#include <mutex>

#include "kav/cards/Slot.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/objects/TreeSearch.h"

namespace {
std::mutex g_instanceLock;
ContainerList* g_instance = nullptr;
}  // namespace

ContainerList* ContainerList::getInstance() {
  std::lock_guard<std::mutex> guard(g_instanceLock);
  if (g_instance == nullptr) g_instance = new ContainerList();
  return g_instance;
}

void ContainerList::destroyInstance() {
  std::lock_guard<std::mutex> guard(g_instanceLock);
  delete g_instance;
  g_instance = nullptr;
}

KavPtr<Container> ContainerList::getContainer(unsigned int slotId) {
  ContainerList* list = nullptr;
  {
    std::lock_guard<std::mutex> guard(g_instanceLock);
    list = g_instance;
  }
  if (list == nullptr) return KavPtr<Container>();
  return list->get(slotId);
}

ContainerList::ContainerList() : m_initialised(false) {}

ContainerList::~ContainerList() { terminate(); }

BaseErrorData ContainerList::init() {
  if (m_initialised) return BaseErrorData();
  BaseErrorData rc = registerEvents();
  m_initialised = true;
  KAV_TRACE(KAVT, "ContainerList::init rc=0x%08X", rc.getRc());
  return rc;
}

void ContainerList::terminate() {
  if (!m_initialised) return;
  deregisterEvents();
  m_initialised = false;
}

KavPtr<Container> ContainerList::lookup(unsigned int slotId) {
  ExecList<Slot> slots = collectClasstypeInTree<Slot>(true);
  for (ExecList<Slot>::const_iterator it = slots.begin(); it != slots.end(); ++it) {
    if ((*it)->getSlotId() != slotId || (*it)->isDeleted()) continue;
    ExecList<Container> containers = collectClasstypeInList<Container>((*it)->getChildren());
    KavPtr<Container> container = containers.getSingleton(true);
    if (container != nullptr) return container;
  }
  return KavPtr<Container>();
}

void initContainerList() { ContainerList::getInstance()->init(); }

void terminateContainerList() { ContainerList::getInstance()->terminate(); }
