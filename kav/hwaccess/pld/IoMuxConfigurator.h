// The I/O multiplexer set-up of a card: its group data (IoMuxGroupDataBase
// hidden children) for a multiplexer of maxGroups groups. The
// hardware-access factory hands it the CFAM's multiplexer at init step 5.
#ifndef KAV_HWACCESS_IOMUXCONFIGURATOR_H
#define KAV_HWACCESS_IOMUXCONFIGURATOR_H

#include <ostream>

#include "kav/hwaccess/pld/IoMuxHwaInterface.h"
#include "kav/tree/errors/ErrorData.h"
#include "kav/tree/objects/AtomicBase.h"
#include "kav/tree/objects/KavPtr.h"

class KAV_EXPORT IoMuxConfigurator : public AtomicBase {
  KAV_TREE_CLASS(IoMuxConfigurator)

 public:
  IoMuxConfigurator();
  ~IoMuxConfigurator() override;

  // The number of groups (attribute "maxGroups").
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  void dumpXml(std::ostream& os) const override;

  // Writes the configured groups, each maximal run of consecutive
  // configured groups with one write; unconfigured groups are not written.
  // A group id not below maxGroups gives 0x7380 and is left out; a later
  // group of the same id replaces an earlier one. Without a multiplexer
  // 0x7346 and nothing is written. Every run is tried; the first failure is
  // the result.
  ErrorData configIoMux(const KavPtr<IoMuxHwaInterface>& hwa);

  unsigned int getMaxGroups() const { return m_maxGroups; }
  void setMaxGroups(unsigned int maxGroups) { m_maxGroups = maxGroups; }

 private:
  unsigned int m_maxGroups;
};

extern "C" KAV_EXPORT BuildBase* createIoMuxConfigurator(void* argument, BaseErrorData& error);

#endif
