// A digital signal for the tests of the objects that watch alarm lines: its
// level is set by the test, every call is recorded by name, and a call can
// be made to fail.
#ifndef TESTS_CLOCKCHIPS_RECORDINGDIOLINE_H
#define TESTS_CLOCKCHIPS_RECORDINGDIOLINE_H

#include <atomic>
#include <string>
#include <vector>

#include "kav/hwaccess/dio/DioHwrInterface.h"

namespace chiptest {

class RecordingDioLine : public DioHwrInterface {
 public:
  // Set by the test while a job of the object under test may read it.
  std::atomic<bool> active{false};
  std::vector<std::string> calls;
  // The calls of this name fail with failCode (recorded all the same).
  std::string failing;
  unsigned int failCode = 0;

  ErrorData reconfigure(dioMode::DioMode_t) override { return note("reconfigure"); }
  ErrorData read(dioState::DioState_t& state) override {
    state = active ? dioState::DIO_STATE_ON : dioState::DIO_STATE_OFF;
    return note("read");
  }
  ErrorData on() override { return note("on"); }
  ErrorData off() override { return note("off"); }
  ErrorData blink(unsigned int) override { return note("blink"); }
  ErrorData enableIrq(dioState::DioState_t state) override {
    return note(state == dioState::DIO_STATE_ON ? "arm on" : "arm off");
  }
  ErrorData disableIrq() override { return note("disarm"); }
  ErrorData resetIrqCondition() override { return note("reset"); }
  unsigned int getOnIrqId() override { return 0x5000u + getInstanceId(); }
  unsigned int getOffIrqId() override { return 0x6000u + getInstanceId(); }
  unsigned int getLogicalId() const override { return 0; }
  ErrorData switchForPwrCtrl(unsigned int, unsigned int) override { return note("switch"); }
  // The calls since the last look, and forgets them.
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

 private:
  ErrorData note(const char* call) {
    calls.push_back(call);
    return ErrorData(ErrorData::NO_OVERWRITE, failing == call ? failCode : 0);
  }
};

}  // namespace chiptest

#endif
