// One pin group of an I/O multiplexer configuration: the entry the
// multiplexer gets for the group. The group classes differ in the number of
// groups of their multiplexer and in the engines a group may select; they
// read their attributes through setGroupAttributes.
#ifndef KAV_HWACCESS_IOMUXGROUPDATABASE_H
#define KAV_HWACCESS_IOMUXGROUPDATABASE_H

#include <ostream>

#include "kav/hwaccess/pld/IoMuxInfo.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/QueryBase.h"
#include "kav/tree/objects/TreeClassMacros.h"

class KAV_EXPORT IoMuxGroupDataBase : public QueryBase {
  KAV_TREE_CLASS(IoMuxGroupDataBase)

 public:
  IoMuxGroupDataBase();
  ~IoMuxGroupDataBase() override;

  // Pins per group.
  virtual unsigned int getGroupSize() const;
  const IoMuxInfo& getIoMuxInfo() const { return m_ioMuxInfo; }
  // Group size and entry, then the base classes.
  void dumpXml(std::ostream& os) const override;

  // The selected engine (a type name's string id): the engines in level
  // order GPIO, I2C, ENGINE_8, SCOM, IIC_SLAVE, UART, JTAG, MAILBOX, of which
  // a group type may select the first levelCount; IOMUX_DISABLED disables
  // the group. A rejected name gives 0x716C and disables the group.
  BaseErrorData selectEngine(unsigned int engineNameId, unsigned int levelCount);

 protected:
  // Group id (below maxGroups, else 0x7381), selected engine, control gates
  // and receiver threshold (each at most 2^group size - 1, else 0x7382).
  // A failed read is the result and its step is left out.
  BaseErrorData setGroupAttributes(const AttributeInfo& info, unsigned int maxGroups, unsigned int levelCount);

 private:
  IoMuxInfo m_ioMuxInfo;
};

#endif
