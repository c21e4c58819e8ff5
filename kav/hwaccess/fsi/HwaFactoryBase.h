// Base of the tree objects that create the hardware-access objects of the
// engines behind one CFAM. At init step 0 it creates the default engines
// (first I2C, scratchpad and I/O multiplexer engine); at step 5 it reads the
// card type's hardware-access configuration and creates the engines that
// configuration lists.
#ifndef KAV_HWACCESS_HWAFACTORYBASE_H
#define KAV_HWACCESS_HWAFACTORYBASE_H

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/TreeClassMacros.h"
#include "kav/tree/objects/kavstl.h"

class KAV_EXPORT HwaFactoryBase : public AtomicBase {
  KAV_TREE_CLASS(HwaFactoryBase)

 public:
  HwaFactoryBase();
  ~HwaFactoryBase() override;

  // Hardware-access id (attribute "hwaId", default 0xFFFFFFFF).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  // Step 0: initLinkIdentifier, then the default engines. Step 5: the
  // card type's configuration (writeHwaConfig).
  BaseErrorData init(initSequence::Id_t step) override;

  virtual ErrorData createEngine(const kavstl::set<EngineInfo>& engines) = 0;
  virtual ErrorData initLinkIdentifier();

  ErrorData createDefaultEngines();
  // Builds the configuration named <card type>_HwaConfig<hardware-access id>
  // for the card type and hardware level of the enclosing container's FRU-id
  // provider, hands the CFAM's I/O multiplexer (when it has one) to the
  // configuration's IoMuxConfigurator (0x7384 without a single one), creates
  // the engines its EngineProvider lists and deletes it again. Without a container or a single FRU-id provider nothing is built
  // (0x7000).
  ErrorData writeHwaConfig();

  unsigned int getHwaId() const { return m_hwaId; }
  void setHwaId(unsigned int hwaId) { m_hwaId = hwaId; }
  bool isErrorLogged() const { return m_errorLogged != 0; }

 protected:
  // The first error is logged at once, later ones only marked logged.
  void logOnce(ErrorData& err);

  unsigned char m_errorLogged;

 private:
  unsigned int m_hwaId;
};

#endif
