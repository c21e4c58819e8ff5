#include "kav/cards/FruBuilder.h"

#include <mutex>
#include <new>

#include "kav/cards/AsynchFruBuilder.h"
#include "kav/cards/FruIdProviderInterface.h"
#include "kav/cards/Slot.h"
#include "kav/events/PlugEventSender.h"
#include "kav/events/EventRouter.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/runtime/SoftDogInt.h"
#include "kav/runtime/TimeScale.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/start/BsIdentity.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/Facade.h"
#include "kav/tree/start/InitSequenceExecutor.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/start/TerminateSequenceExecutor.h"
#include "kav/tree/objects/TreeSearch.h"
#include "perc_abend.h"

KAV_TREE_CLASS_IMPL(FruBuilder, AtomicBase)

kavstl::string FruBuilder::m_SideString;

namespace {

const char* const kRowNodeName = "TransitionTableRow";
const char* const kBuildListNodeName = "BuildFileList";
const char* const kDescriptionNameAttribute = "Name";
const char* const kAnySide = "Any";
const char* const kFallbackFru = "UnknownFru";
const unsigned int kBuildDelayMs = 2000;
const unsigned int kBuildAbendMs = 40000;
const unsigned int kPlugHandlerLimitMs = 2500;

// A deep copy of a configuration node.
BinaryReaderNode* copyNode(const BinaryReaderNode& node) {
  BinaryReaderNode* copy = new BinaryReaderNode();
  copy->setFieldsOfNode(node.getName(), node.getSequenceNumber(), node.getParentNumber());
  copy->setTextNode(node.getValue());
  for (const auto& attribute : node.getAttributes()) copy->addAttribute(attribute.first, attribute.second);
  for (const BinaryReaderNode* child : node.getChildren()) copy->addChild(copyNode(*child));
  return copy;
}

QueryBase::ChildList_t allChildren(const QueryBase& node) {
  QueryBase::ChildList_t children = node.getChildren();
  QueryBase::ChildList_t hidden = node.getHiddenChildren();
  children.insert(children.end(), hidden.begin(), hidden.end());
  return children;
}

}  // namespace

// ---- ObjectDescription ------------------------------------------------------

FruBuilder::ObjectDescription::ObjectDescription(const kavstl::string& name, const BinaryReaderNode* node)
    : m_name(name), m_pNode(node) {}

bool FruBuilder::ObjectDescription::operator==(const ObjectDescription& other) const {
  if (m_name != other.m_name) return false;
  if (m_pNode == nullptr || other.m_pNode == nullptr) return true;
  return m_pNode == other.m_pNode || *m_pNode == *other.m_pNode;
}

bool FruBuilder::ObjectDescription::operator<(const ObjectDescription& other) const {
  if (m_name != other.m_name) return m_name < other.m_name;
  if (m_pNode == other.m_pNode) return false;
  if (m_pNode == nullptr) return true;
  if (other.m_pNode == nullptr) return false;
  return *m_pNode < *other.m_pNode;
}

// ---- construction and configuration -----------------------------------------

const char* FruBuilder::sideStringFor(unsigned int side) {
  if (side == 0) return "Side-A";
  if (side == 1) return "Side-B";
  KAV_TRACE(KAVE, "FruBuilder: unknown local side %u", side);
  percAbend(0, nullptr, 0, side, 0, 0, "FruBuilder: unknown local side", 11, 0);
}

const kavstl::string& FruBuilder::getSideString() {
  static const kavstl::string s_side(sideStringFor(bs_get_local_side()));
  return s_side;
}

void FruBuilder::checkRouter(const void* router) {
  if (router != nullptr) return;
  KAV_TRACE(KAVE, " %08x", 0u);
  percAbend(0xF0D1, nullptr, 0, 0, 0, 0, "FruBuilder: no event router", 11, 0);
}

FruBuilder::FruBuilder()
    : m_currentPattern{0}, m_pendingJobId(0), m_pRouter(nullptr), m_plugRegistrationId(-1) {
  static std::once_flag s_sideOnce;
  std::call_once(s_sideOnce, [] { m_SideString = getSideString(); });
  m_pRouter = new (std::nothrow) EventRouter<PlugEvent>();
  checkRouter(m_pRouter);
}

FruBuilder::~FruBuilder() {
  delete m_pRouter;
  m_transitionTable.clear();
  for (BinaryReaderNode* node : m_ownedNodes) delete node;
}

void FruBuilder::parsePattern(const kavstl::string& text, uint32_t& mask, uint32_t& value) {
  mask = 0;
  value = 0;
  for (char c : text) {
    mask <<= 1;
    value <<= 1;
    if (c == '1') {
      value |= 1u;
    } else if (c == 'X') {
      mask |= 1u;
    }
  }
}

BaseErrorData FruBuilder::readRow(const BinaryReaderNode& row) {
  kavstl::string pattern;
  BaseErrorData rc = getAttributeString(pattern, kav::sid::PLUG_PATTERN, row, false);
  if (rc != 0) {
    KAV_TRACE(KAVE, " %d", rc.getRc());
    return rc;
  }
  PlugCondition condition;
  parsePattern(pattern, condition.dontCareMask, condition.value);
  BinaryReaderNode::NodeList_t lists;
  row.getChildrenWithNodeName(kBuildListNodeName, lists);
  for (const BinaryReaderNode* list : lists) {
    kavstl::string side;
    getAttributeString(side, kav::sid::BUILD_SIDE, *list, false);
    if (side != kAnySide && side != m_SideString) continue;
    for (const BinaryReaderNode* description : list->getChildren()) {
      kavstl::string name;
      if (description->getAttributeValue(kDescriptionNameAttribute, name, false) != 0) {
        KAV_TRACE_STR(KAVE, "FruBuilder: description %s without Name", description->getName());
        continue;
      }
      BinaryReaderNode* copy = copyNode(*description);
      m_ownedNodes.push_back(copy);
      condition.objects.insert(ObjectDescription(name, copy));
    }
  }
  KAV_TRACE(KAVT, "FruBuilder row mask=0x%08X value=0x%08X objects=%u", condition.dontCareMask, condition.value,
            static_cast<unsigned int>(condition.objects.size()));
  m_transitionTable.push_back(condition);
  return rc;
}

BaseErrorData FruBuilder::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  const BinaryReaderNode* node = info.getLocalAttributes();
  if (node == nullptr) return rc;
  BinaryReaderNode::NodeList_t rows;
  node->getChildrenWithNodeName(kRowNodeName, rows);
  for (const BinaryReaderNode* row : rows) {
    BaseErrorData rowRc = readRow(*row);
    if (rowRc != 0) {
      rc = rowRc;
      break;
    }
  }
  return rc;
}

// ---- life cycle ------------------------------------------------------------

BaseErrorData FruBuilder::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  switch (step) {
    case initSequence::INIT_LINK_TREE_ELEMENTS:
      rc = linkTreeElements();
      break;
    case initSequence::INIT_REGISTER_EVENTS:
      rc = registerEvents();
      break;
    case initSequence::INIT_ENABLE_PLUG_EVENTS:
      rc = enablePlugEvents();
      break;
    default:
      break;
  }
  return rc;
}

BaseErrorData FruBuilder::terminate(terminateSequence::Id_t step) {
  BaseErrorData rc;
  if (step == terminateSequence::TERM_DEREGISTER_EVENTS) {
    rc = deregisterEvents();
  } else if (step == terminateSequence::TERM_UNLINK_TREE_ELEMENTS) {
    rc = unlinkTreeElements();
  }
  rc = AtomicBase::terminate(step);
  return rc;
}

BaseErrorData FruBuilder::linkTreeElements() {
  BaseErrorData rc;
  IFOSGuard<const QueryBase> guard(*this);
  for (const KavPtr<QueryBase>& child : allChildren(*this)) {
    KavPtr<PlugDetectHwrInterface> detector = treesearch::asInstanceOf<PlugDetectHwrInterface>(child.getRawPointer());
    if (detector == nullptr) continue;
    unsigned int id = detector->getPlugDetectId();
    if (!m_plugDetectors.insert(std::make_pair(id, detector)).second) {
      KAV_TRACE(KAVE, "FruBuilder: plug detect id %u twice slot=0x%08X", id, getSlotId());
      rc = 0x7002u;
    }
  }
  return rc;
}

BaseErrorData FruBuilder::unlinkTreeElements() {
  IFOSGuard<const QueryBase> guard(*this);
  m_plugDetectors.clear();
  return BaseErrorData();
}

BaseErrorData FruBuilder::registerEvents() {
  BaseErrorData rc;
  IFOSGuard<const QueryBase> guard(*this);
  if (m_plugRegistrationId != -1) return rc;
  PlugEvent::EventType slotId = getSlotId();
  m_plugRegistrationId = registerForEvent<PlugEvent, FruBuilder>(PlugEventSender::getInstance()->getEventSource(),
                                                                 m_pRouter, slotId, this, &FruBuilder::handlePlugEvent,
                                                                 false);
  KAV_TRACE(KAVT, "FruBuilder::registerEvents slot=0x%08X id=%d", slotId, static_cast<int>(m_plugRegistrationId));
  if (m_plugRegistrationId < 0) rc = 0x7000u;
  return rc;
}

BaseErrorData FruBuilder::deregisterEvents() {
  // Deregistration waits for a plug delivery under way, whose handler takes
  // this lock: give the registration up outside it. The pending build job is
  // taken afterwards, so one that such a last delivery scheduled goes too.
  long registrationId = -1;
  {
    IFOSGuard<const QueryBase> guard(*this);
    registrationId = m_plugRegistrationId;
    m_plugRegistrationId = -1;
  }
  if (registrationId != -1) m_pRouter->deregisterFromEvent(registrationId);
  unsigned int jobId = 0;
  {
    IFOSGuard<const QueryBase> guard(*this);
    jobId = m_pendingJobId;
    m_pendingJobId = 0;
  }
  if (jobId != 0) {
    bool wasPending = TimedExecutor::getInstance()->deleteJob(jobId);
    KAV_TRACE(KAVT, "FruBuilder::deregisterEvents job %u pending=%u", jobId, wasPending ? 1u : 0u);
  }
  return BaseErrorData();
}

BaseErrorData FruBuilder::enablePlugEvents() {
  BaseErrorData rc;
  IFOSGuard<const QueryBase> guard(*this);
  for (auto& entry : m_plugDetectors) rc = entry.second->enablePlug();
  return rc;
}

// ---- plug handling ---------------------------------------------------------

KavPtr<PlugDetectHwrInterface> FruBuilder::getPlugDetect(unsigned int plugDetectId) {
  IFOSGuard<const QueryBase> guard(*this);
  auto it = m_plugDetectors.find(plugDetectId);
  if (it == m_plugDetectors.end()) return KavPtr<PlugDetectHwrInterface>();
  return it->second;
}

unsigned int FruBuilder::getPlugDetectCount() const {
  IFOSGuard<const QueryBase> guard(*this);
  return static_cast<unsigned int>(m_plugDetectors.size());
}

FruBuilder::plugPattern_s FruBuilder::getCurrentPattern() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_currentPattern;
}

unsigned int FruBuilder::getPendingJobId() const {
  IFOSGuard<const QueryBase> guard(*this);
  return m_pendingJobId;
}

void FruBuilder::getXmlLookupIds(plugPattern_s pattern, ObjectSet_t& objects) const {
  for (const PlugCondition& condition : m_transitionTable) {
    if (condition.matches(pattern)) objects.insert(condition.objects.begin(), condition.objects.end());
  }
}

bool FruBuilder::readIsPlugged(bool quiet) {
  IFOSGuard<const QueryBase> guard(*this);
  for (auto& entry : m_plugDetectors) {
    PlugDetectHwrInterface::plugState_t state = PlugDetectHwrInterface::UNPLUGGED;
    BaseErrorData rc = entry.second->readPlugState(state);
    if (rc == 0x7017u) continue;
    if (rc != 0) {
      if (!quiet) KAV_TRACE(KAVE, "FruBuilder::readIsPlugged id=%u rc=0x%08X", entry.first, rc.getRc());
      break;
    }
    if (state != PlugDetectHwrInterface::UNPLUGGED) return true;
  }
  return false;
}

void FruBuilder::handlePlugEvent(const PlugEvent& event) {
  IFOSGuard<const QueryBase> guard(*this);
  SoftDogInt dog(kPlugHandlerLimitMs, "handlePlugEvent");
  KAV_TRACE(KAVT, "FruBuilder::handlePlugEvent slot=0x%08X id=%u type=%u", event.getSlotId(), event.getPlugId(),
            static_cast<unsigned int>(event.getPlugType()));

  KavPtr<PlugDetectHwrInterface> reporter = getPlugDetect(event.getPlugId());
  if (reporter != nullptr) {
    BaseErrorData rc = event.isPlugEvent() ? reporter->enableUnplug() : reporter->enablePlug();
    if (rc != 0) KAV_TRACE(KAVE, " %08x,%x", event.getSlotId(), rc.getRc());
  } else {
    KAV_TRACE(KAVE, " %08x,%x", event.getSlotId(), event.getPlugId());
  }

  plugPattern_s pattern{0};
  for (auto& entry : m_plugDetectors) {
    PlugDetectHwrInterface::plugState_t state = PlugDetectHwrInterface::UNPLUGGED;
    BaseErrorData rc = entry.second->readPlugState(state);
    if (rc != 0) {
      KAV_TRACE(KAVE, " %08x,%x", entry.first, rc.getRc());
      continue;
    }
    if (state == PlugDetectHwrInterface::PLUGGED && entry.first < 32) pattern.bits |= 1u << entry.first;
  }
  // An unplug stands for the card that left, even when the detector already
  // reads plugged again (a card pulled and put back before this delivery):
  // its content goes at once. The detector, re-armed above, reported the
  // card that is there now with a plug event of its own, which builds the
  // content anew.
  if (event.isUnplugEvent() && event.getPlugId() < 32) pattern.bits &= ~(1u << event.getPlugId());

  ObjectSet_t wanted;
  ObjectSet_t current;
  getXmlLookupIds(pattern, wanted);
  getXmlLookupIds(m_currentPattern, current);
  if (wanted == current) return;

  KAV_TRACE(KAVT, " %08x,%x", getSlotId(), pattern.bits);
  if (m_pendingJobId != 0) {
    bool wasPending = TimedExecutor::getInstance()->deleteJob(m_pendingJobId);
    KAV_TRACE(KAVT, "FruBuilder: pending build %u deleted, still pending=%u", m_pendingJobId, wasPending ? 1u : 0u);
    m_pendingJobId = 0;
  }
  if (wanted.empty() || event.isUnplugEvent()) {
    requestAsynchFruChange(wanted, 0);
  } else {
    m_pendingJobId = requestAsynchFruChange(wanted, TimeScale::delayMs(kBuildDelayMs));
  }
  m_currentPattern = pattern;
}

unsigned int FruBuilder::requestAsynchFruChange(const ObjectSet_t& objects, unsigned int delayMs) {
  AsynchFruBuilder* job = new AsynchFruBuilder(KavPtr<FruBuilder>(this), objects);
  if (job == nullptr) {
    KAV_TRACE(KAVE, "FruBuilder: no job for slot 0x%08X", getSlotId());
    return 0;
  }
  // Written before the job can run: its time is when the delay starts.
  KAV_TRACE(KAVT, "FruBuilder: slot 0x%08X build in %u ms", getSlotId(), delayMs);
  unsigned int id = TimedExecutor::getInstance()->insertJob(job, delayMs, 0, kBuildAbendMs);
  KAV_TRACE(KAVT, " %08x", id);
  KAV_TRACE(KAVT, "FruBuilder: slot 0x%08X build job %u", getSlotId(), id);
  return id;
}

// ---- building --------------------------------------------------------------

KavPtr<QueryBase> FruBuilder::buildTree(const ObjectSet_t& objects) {
  Facade facade;
  BuildBase* top = nullptr;
  BaseErrorData rc;
  for (const ObjectDescription& description : objects) {
    rc = facade.buildTree(description.getName(), "0", &top, description.getNode());
  }
  if (top == nullptr) {
    KAV_TRACE(KAVE, " %08x,%08X", getSlotId(), rc.getRc());
    facade.buildTree(kFallbackFru, "0", &top, nullptr);
  }
  if (top == nullptr || top->getQueryBase() == nullptr) {
    KAV_TRACE(KAVE, "FruBuilder::buildTree no root for slot 0x%08X", getSlotId());
    percAbend(0, nullptr, 0, getSlotId(), 0, 0, "FruBuilder::buildTree: no root", 11, 0);
  }
  return KavPtr<QueryBase>(top->getQueryBase());
}

ErrorData FruBuilder::initTree(KavPtr<QueryBase> root, unsigned int& childrenDone, unsigned int& hiddenDone,
                               const kavstl::vector<initSequence::Id_t>& steps, bool withRoot) {
  ExecList<QueryBase> list;
  if (withRoot) list.addElement(root);
  root->addChildsToExecListInPrefixOrder(list, childrenDone, hiddenDone, true);
  InitSequenceExecutor<QueryBase> executor;
  ErrorData rc = list.forEachElementLoop(executor, steps);
  if (rc != 0) KAV_TRACE(KAVE, "FruBuilder::initTree slot=0x%08X rc=0x%08X", getSlotId(), rc.getRc());
  return rc;
}

void FruBuilder::synchFruBuild(const ObjectSet_t& objects) {
  IFOSGuard<IFOSRcFastMutex> buildGuard(m_buildMutex);
  KAV_TRACE(KAVT, " %08x", getSlotId());
  if (isDeleted()) {
    KAV_TRACE(KAVT, "FruBuilder::synchFruBuild builder of slot 0x%08X left the tree", getSlotId());
    return;
  }
  KavPtr<Slot> slot = seekUp<Slot>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Slot::staticGetClassId()));
  deleteContainerInSlot(slot);
  if (objects.empty()) return;

  KavPtr<QueryBase> root = buildTree(objects);
  KavPtr<QueryBase> parent = getParent();
  root->setParent(parent);

  unsigned int childrenDone = 0;
  unsigned int hiddenDone = 0;
  kavstl::vector<initSequence::Id_t> steps = get_fru_init_steps();
  steps.push_back(initSequence::INIT_ENABLE_PLUG_EVENTS);
  ErrorData rc = initTree(root, childrenDone, hiddenDone, steps);
  if (rc != 0) {
    KAV_TRACE(KAVE, " %08x,%08x", getSlotId(), rc.getRc());
  } else {
    ExecList<QueryBase> subtree;
    root->addToExecListInPrefixOrder(subtree, true);
    InitSequenceExecutor<QueryBase> executor;
    kavstl::vector<initSequence::Id_t> hwaSteps;
    hwaSteps.push_back(initSequence::INIT_WRITE_HWA_CONFIG);
    hwaSteps.push_back(initSequence::INIT_WAIT_PENDING_PLUGS);
    rc = subtree.forEachElementLoop(executor, hwaSteps);
    if (rc != 0) {
      KAV_TRACE(KAVE, " %08x,%08x", getSlotId(), rc.getRc());
    } else {
      ExecList<FruIdProviderInterface> providers =
          collectClasstypeInSubTree<FruIdProviderInterface>(KavPtr<const QueryBase>(root), true);
      KavPtr<FruIdProviderInterface> provider = providers.getSingleton(false);
      if (provider == nullptr) {
        KAV_TRACE(KAVE, "FruBuilder: no single FRU-id provider slot=0x%08X count=%u", getSlotId(),
                  providers.elementCount());
      } else {
        kavstl::string cardType;
        kavstl::string hardwareLevel;
        provider->getCardTypeString(cardType);
        provider->getHdwLvlString(hardwareLevel);
        KAV_TRACE_STR(KAVT, "FruBuilder card type %s slot=0x%08X", cardType, getSlotId());
        Facade facade;
        BuildBase* top = root->getBuildInterface();
        BaseErrorData buildRc = facade.buildTree(cardType, hardwareLevel, &top, nullptr);
        if (buildRc != 0) KAV_TRACE(KAVE, " %08x,%08x", getSlotId(), buildRc.getRc());
        ErrorData cardRc = initTree(root, childrenDone, hiddenDone, get_fru_init_steps(), false);
        if (cardRc != 0) KAV_TRACE(KAVE, " %08x,%08x", getSlotId(), cardRc.getRc());
        ExecList<QueryBase> all;
        root->addToExecListInPrefixOrder(all, true);
        InitSequenceExecutor<QueryBase> removeProviders;
        kavstl::vector<initSequence::Id_t> step15(1, initSequence::INIT_REMOVE_ID_PROVIDERS);
        all.forEachElementLoop(removeProviders, step15);
      }
    }
  }

  if (parent != nullptr) parent->addChild(root);
  if (slot != nullptr) {
    slot->setConfigComplete(true);
  } else {
    KAV_TRACE(KAVE, " %08x,%08x", getSlotId(), 0x7000u);
  }
  ExecList<QueryBase> all;
  root->addToExecListInPrefixOrder(all, true);
  InitSequenceExecutor<QueryBase> enable;
  kavstl::vector<initSequence::Id_t> step16(1, initSequence::INIT_ENABLE_PLUG_EVENTS);
  all.forEachElementLoop(enable, step16);
}

BaseErrorData FruBuilder::deleteContainerInSlot(KavPtr<Slot> slot) {
  BaseErrorData rc;
  if (slot == nullptr) {
    KAV_TRACE(KAVE, "FruBuilder::deleteContainerInSlot no slot (builder slot 0x%08X)", getSlotId());
    rc = 0x7002u;
    return rc;
  }
  ExecList<Container> containers = collectClasstypeInList<Container>(allChildren(*slot));
  if (containers.elementCount() > 1) {
    KAV_TRACE(KAVE, "FruBuilder: %u containers in slot 0x%08X", containers.elementCount(), slot->getSlotId());
    percAbend(0, nullptr, 0, slot->getSlotId(), containers.elementCount(), 0, "FruBuilder: several containers in a slot",
              11, 0);
  }
  if (containers.elementCount() == 0) return rc;

  KavPtr<Container> container = *containers.begin();
  KAV_TRACE(KAVT, "FruBuilder: deleting content of slot 0x%08X", slot->getSlotId());
  ExecList<QueryBase> subtree;
  container->addToExecListInPrefixOrder(subtree, true);
  TerminateSequenceExecutor terminator;
  kavstl::vector<terminateSequence::Id_t> markDeleted(1, terminateSequence::TERM_MARK_DELETED);
  ErrorData termRc = subtree.forEachElementLoop(terminator, markDeleted);
  if (termRc != 0) KAV_TRACE(KAVE, "FruBuilder: mark deleted rc=0x%08X", termRc.getRc());
  rc = deleteSlotsInContainer(container);
  slot->removeChild(KavPtr<QueryBase>(container));
  rc = container->terminateSubTreeAndAddToGarbageCollector();
  slot->setConfigComplete(false);
  return rc;
}

BaseErrorData FruBuilder::deleteSlotsInContainer(KavPtr<Container> container) {
  BaseErrorData rc;
  ExecList<Slot> slots = collectClasstypeInSubTree<Slot>(KavPtr<const QueryBase>(container), true);
  for (ExecList<Slot>::const_iterator it = slots.begin(); it != slots.end(); ++it) rc = deleteContainerInSlot(*it);
  return rc;
}

BuildBase* createFruBuilder(void*, BaseErrorData&) { return (new FruBuilder())->getBuildInterface(); }
