// A hardware-access factory with the engines found on its hardware: per
// engine type a vector of owned device-data records, in the order they were
// found, so that the logical engine id is the index in the type's vector.
// Used as HwaFactory<edalFsi::engineInfo_t> (instantiated in HwaFactory.cpp).
#ifndef KAV_HWACCESS_HWAFACTORY_H
#define KAV_HWACCESS_HWAFACTORY_H

#include "kav/hwaccess/fsi/EngineInfo.h"
#include "kav/hwaccess/fsi/HwaFactoryBase.h"
#include "kav/hwaccess/edal/edalFsi.h"
#include "kav/tree/objects/KavExport.h"
#include "kav/tree/objects/kavstl.h"

template <class T>
class KAV_EXPORT HwaFactory : public HwaFactoryBase {
 public:
  typedef kavstl::map<EngineInfo::engineType_t, kavstl::vector<T*> > DeviceData_t;

  HwaFactory() {}
  ~HwaFactory() override { clearDeviceData(); }

  static unsigned int staticGetClassId();
  unsigned int getClassId() const override { return staticGetClassId(); }
  bool isInstanceOf(unsigned int classId) const override {
    return classId == staticGetClassId() || HwaFactoryBase::isInstanceOf(classId);
  }
  unsigned int getInstanceSize() const override { return static_cast<unsigned int>(sizeof(*this)); }

  // Appends a copy to the type's vector (position -1) or inserts it at the
  // position (at most the vector's size; a larger one appends).
  void addDeviceData(const T& info, EngineInfo::engineType_t type, int position = -1) {
    kavstl::vector<T*>& list = m_deviceData[type];
    T* copy = new T(info);
    if (position < 0 || static_cast<unsigned int>(position) >= list.size()) {
      list.push_back(copy);
    } else {
      list.insert(list.begin() + position, copy);
    }
  }

  // The record at the logical engine id within the type's vector, or null.
  const T* getDeviceData(const EngineInfo& engine) const {
    typename DeviceData_t::const_iterator it = m_deviceData.find(engine.getEngineType());
    if (it == m_deviceData.end() || engine.getLogicalEngineId() >= it->second.size()) return nullptr;
    return it->second[engine.getLogicalEngineId()];
  }

  // The number of engine types present.
  unsigned int getDeviceCount() const { return static_cast<unsigned int>(m_deviceData.size()); }

  void clearDeviceData() {
    for (typename DeviceData_t::value_type& entry : m_deviceData)
      for (T* record : entry.second) delete record;
    m_deviceData.clear();
  }

 private:
  DeviceData_t m_deviceData;
};

template <>
unsigned int HwaFactory<edalFsi::engineInfo_t>::staticGetClassId();
extern template class HwaFactory<edalFsi::engineInfo_t>;

#endif
