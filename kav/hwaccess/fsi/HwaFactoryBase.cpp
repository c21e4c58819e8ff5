#include "kav/hwaccess/fsi/HwaFactoryBase.h"

#include "kav/cards/FruIdProviderInterface.h"
#include "kav/hwaccess/fsi/EngineProvider.h"
#include "kav/hwaccess/pld/IoMuxConfigurator.h"
#include "kav/hwaccess/pld/IoMuxHwaInterface.h"
#include "kav/runtime/IFOSGuard.h"
#include "kav/runtime/KavTrace.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/AttributeReader.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/BuildBase.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/Facade.h"
#include "kav/tree/search/InstanceOfCriteria.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/TreeSearch.h"

KAV_TREE_CLASS_IMPL(HwaFactoryBase, AtomicBase)

namespace {
const unsigned int kMissingPointer = 0x7000u;
const unsigned int kNoIoMuxConfigurator = 0x7384u;
const unsigned int kAttributeMissing = 0x7145u;
}  // namespace

HwaFactoryBase::HwaFactoryBase() : m_errorLogged(0), m_hwaId(0xFFFFFFFFu) {}

HwaFactoryBase::~HwaFactoryBase() {}

BaseErrorData HwaFactoryBase::setAttributes(const AttributeInfo& info) {
  BaseErrorData rc = AtomicBase::setAttributes(info);
  const BinaryReaderNode* local = info.getLocalAttributes();
  if (local == nullptr) return rc;
  unsigned int value = 0;
  BaseErrorData read = getAttributeUint32(&value, kav::sid::HWA_ID, *local, true);
  if (read == 0) {
    m_hwaId = value;
  } else if (read != kAttributeMissing) {
    rc = read;
  }
  return rc;
}

BaseErrorData HwaFactoryBase::init(initSequence::Id_t step) {
  BaseErrorData rc = AtomicBase::init(step);
  if (step == initSequence::INIT_OPEN_ENGINES) {
    rc = initLinkIdentifier();
    rc = createDefaultEngines();
  } else if (step == initSequence::INIT_WRITE_HWA_CONFIG) {
    rc = writeHwaConfig();
  }
  return rc;
}

ErrorData HwaFactoryBase::initLinkIdentifier() { return ErrorData(); }

ErrorData HwaFactoryBase::createDefaultEngines() {
  kavstl::set<EngineInfo> engines;
  engines.insert(EngineInfo(EngineInfo::ENGINE_I2C, 0));
  engines.insert(EngineInfo(EngineInfo::ENGINE_SCRATCHPAD, 0));
  engines.insert(EngineInfo(EngineInfo::ENGINE_IOMUX, 0));
  return createEngine(engines);
}

void HwaFactoryBase::logOnce(ErrorData& err) {
  if (m_errorLogged == 0) {
    m_errorLogged = 1;
    err.logSynchron("", "", KavPtr<const QueryBase>(this), KavPtr<const QueryBase>(this));
  } else {
    err.setLogState(BaseErrorData::LOG_STATE_LOGGED);
  }
}

ErrorData HwaFactoryBase::writeHwaConfig() {
  IFOSGuard<const QueryBase> guard(*this);
  ErrorData rc;
  KavPtr<Container> container =
      seekUp<Container>(KavPtr<const QueryBase>(this), InstanceOfCriteria(Container::staticGetClassId()));
  KavPtr<FruIdProviderInterface> provider;
  if (container != nullptr) {
    provider = collectClasstypeInSubTree<FruIdProviderInterface>(KavPtr<const QueryBase>(container), true)
                   .getSingleton(false);
  }
  if (provider == nullptr) {
    // Without the card's identity there is no configuration to read.
    KAV_TRACE(KAVE, "HwaFactoryBase::writeHwaConfig no FRU-id provider hwaId=%u slot=0x%08X container=%u", m_hwaId,
              getSlotId(), container != nullptr ? 1u : 0u);
    rc = kMissingPointer;
    rc.addDataToErrorBuffer("HwaFactoryBase::writeHwaConfig: no card id provider in the enclosing container");
    return rc;
  }

  kavstl::string cardType;
  kavstl::string hardwareLevel;
  // An unreadable identity still names a configuration (the provider's
  // fallback text); its failure stays the result.
  rc = provider->getCardTypeString(cardType);
  rc = provider->getHdwLvlString(hardwareLevel);
  const kavstl::string topName =
      cardType + "_" + get_string_by_id(get_indexed_string_id(kav::sid::HWA_CONFIG_NAME, m_hwaId, 1));
  KAV_TRACE_STR(KAVT, "HwaFactoryBase::writeHwaConfig %s slot=0x%08X", topName, getSlotId());

  BuildBase* top = nullptr;
  {
    Facade facade;
    rc = facade.buildTree(topName, hardwareLevel, &top, nullptr);
  }
  if (top == nullptr || top->getQueryBase() == nullptr) {
    KAV_TRACE_STR(KAVT, "HwaFactoryBase::writeHwaConfig nothing built for %s", topName);
    return rc;
  }
  KavPtr<QueryBase> subtree(top->getQueryBase());
  subtree->setParent(KavPtr<QueryBase>(this));

  KavPtr<IoMuxHwaInterface> ioMux;
  for (const KavPtr<QueryBase>& child : getChildren())
    if (ioMux == nullptr && child->isInstanceOf(IoMuxHwaInterface::staticGetClassId()))
      ioMux = KavPtr<IoMuxHwaInterface>(child);
  if (ioMux != nullptr) {
    KavPtr<IoMuxConfigurator> configurator =
        collectClasstypeInSubTree<IoMuxConfigurator>(KavPtr<const QueryBase>(subtree), true).getSingleton(false);
    if (configurator == nullptr) {
      KAV_TRACE(KAVE, "HwaFactoryBase::writeHwaConfig no single IoMuxConfigurator slot=0x%08X", getSlotId());
      rc = kNoIoMuxConfigurator;
    } else {
      rc = configurator->configIoMux(ioMux);
    }
  }

  KavPtr<EngineProvider> engineProvider =
      collectClasstypeInSubTree<EngineProvider>(KavPtr<const QueryBase>(subtree), true).getSingleton(true);
  if (engineProvider != nullptr) {
    kavstl::set<EngineInfo> engines;
    engineProvider->getEngineConfig(engines);
    rc = createEngine(engines);
  }

  rc = subtree->terminateSubTreeAndAddToGarbageCollector();
  return rc;
}
