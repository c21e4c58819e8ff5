// The physical position of one engine: FSI link, cascade and engine number.
// 0xFFFFFFFF in a field means that the field is absent.
#ifndef KAV_HWACCESS_EDALINFO_H
#define KAV_HWACCESS_EDALINFO_H

class EdalInfo {
 public:
  static const unsigned int ABSENT = 0xFFFFFFFFu;

  EdalInfo();
  // The fourth argument is accepted for the callers' sake and not stored.
  EdalInfo(unsigned int link, unsigned int cascade, unsigned int engine, bool unused = false);
  virtual ~EdalInfo();

  unsigned int getPhysicalLinkNumber() const { return m_physicalLinkNumber; }
  unsigned int getPhysicalCascadeId() const { return m_physicalCascadeId; }
  unsigned int getPhysicalEngineNumber() const { return m_physicalEngineNumber; }

 private:
  unsigned int m_physicalLinkNumber;
  unsigned int m_physicalCascadeId;
  unsigned int m_physicalEngineNumber;
};

#endif
