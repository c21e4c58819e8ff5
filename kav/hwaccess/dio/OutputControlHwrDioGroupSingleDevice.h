// A group of output pins of one device switched together: enabled writes
// the level that makes every pin active (by polarity), disabled the other.
#ifndef KAV_HWACCESS_OUTPUTCONTROLHWRDIOGROUPSINGLEDEVICE_H
#define KAV_HWACCESS_OUTPUTCONTROLHWRDIOGROUPSINGLEDEVICE_H

#include "kav/hwaccess/dio/DioHwdInterface.h"
#include "kav/hwaccess/dio/OutputControlHwrInterface.h"
#include "kav/tree/objects/KavPtr.h"
#include "kav/tree/objects/kavstl.h"

class DioHwdInterfaceLink;

class KAV_EXPORT OutputControlHwrDioGroupSingleDevice : public OutputControlHwrInterface {
  KAV_TREE_CLASS(OutputControlHwrDioGroupSingleDevice)

 public:
  enum state_t : unsigned int { DISABLED = 0, ENABLED = 1 };

  OutputControlHwrDioGroupSingleDevice();
  ~OutputControlHwrDioGroupSingleDevice() override;

  // Pins (75, each < 32), output mode (74), polarity (76), initial state
  // (73: disabled/enabled), initialise at start (111, default true).
  BaseErrorData setAttributes(const AttributeInfo& info) override;
  BaseErrorData init(initSequence::Id_t step) override;
  BaseErrorData terminate(terminateSequence::Id_t step) override;

  ErrorData enableOutput() override;
  ErrorData disableOutput() override;
  // A power step switches the group (OutputControlHwrInterface).

  unsigned int getPinMask() const { return m_pinMask; }

 private:
  ErrorData writeState(state_t state);
  KavPtr<DioHwdInterface> device() const;
  void checkAndLogError(ErrorData& err);

  kavstl::vector<unsigned int> m_pins;
  dioMode::DioMode_t m_mode;
  unsigned int m_polarity;
  state_t m_initialState;
  unsigned int m_pinMask;
  bool m_initAtStart;
  KavPtr<DioHwdInterfaceLink> m_dioHwdLink;
  bool m_errorLogged;
};

extern "C" KAV_EXPORT BuildBase* createOutputControlHwrDioGroupSingleDevice(void* argument, BaseErrorData& error);

#endif
