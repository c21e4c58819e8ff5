// Shared pieces of the tests and benchmarks of the clock chips on I2C: the
// configuration element of a chip driver, an engine that holds a chip's
// registers and records every transfer, and the links that tie drivers to
// engines and output controls to drivers as the tree would.
#ifndef TESTS_CLOCKCHIPS_I2CCHIPTESTSUPPORT_H
#define TESTS_CLOCKCHIPS_I2CCHIPTESTSUPPORT_H

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kav/hwaccess/i2c/I2cHwaInterface.h"
#include "kav/hwaccess/i2c/I2cHwaInterfaceLink.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "tests/cards/CardsTestSupport.h"

namespace chiptest {

// A driver element of class `className`: slave-address transfers on `port`
// at `address`, 100 kHz, no retries, the given supply. Further attributes
// are added to the node by the caller.
inline BinaryReaderNode* chipElement(const char* className, const char* instanceName, const char* port,
                                     const char* supply, const char* address = "0xB0") {
  auto text = [](unsigned int id) { return get_string_by_id(id); };
  return cardstest::element(className, {{text(kav::sid::INSTANCE_NAME), instanceName},
                                        {text(kav::sid::I2C_TRANSFER_MODE), "I2C_SLAVE_ADDRESS"},
                                        {text(kav::sid::I2C_BUS_NO), port},
                                        {text(kav::sid::I2C_DEVICE_ADDRESS), address},
                                        {text(kav::sid::I2C_TRANSFER_SPEED), "100000"},
                                        {text(kav::sid::I2C_TIMEOUT), "100"},
                                        {text(kav::sid::I2C_OFFSET_BYTES), "1"},
                                        {text(kav::sid::I2C_PAGE_SELECT), "0"},
                                        {text(kav::sid::I2C_WRITE_SPLIT), "0"},
                                        {text(kav::sid::I2C_WRITE_DELAY), "0"},
                                        {text(kav::sid::I2C_WRITE_RETRY_DELAY), "0"},
                                        {text(kav::sid::I2C_WRITE_RETRY_COUNT), "0"},
                                        {text(kav::sid::I2C_READ_RETRIES), "0"},
                                        {text(kav::sid::I2C_WRITE_RETRIES), "0"},
                                        {text(kav::sid::DELAY_MS), "0"},
                                        {text(kav::sid::DEVICE_SUPPLY), supply}});
}

// A chip's registers behind an engine; every transfer is recorded with the
// time it reached the engine.
class RegisterEngine : public I2cHwaInterface {
 public:
  typedef std::chrono::steady_clock Clock;

  struct Transfer {
    char kind;  // 'R', 'W', 'I' (interrupt reset)
    unsigned int offset;
    std::vector<unsigned char> data;
    Clock::time_point at;

    Transfer(char k, unsigned int o, std::vector<unsigned char> d) : kind(k), offset(o), data(std::move(d)), at() {}
    // The time does not count.
    bool operator==(const Transfer& o) const { return kind == o.kind && offset == o.offset && data == o.data; }
  };

  mutable unsigned char regs[16] = {};
  mutable std::vector<Transfer> log;
  // The number of transfers recorded, for a look from another thread than
  // the one transferring.
  mutable std::atomic<unsigned int> transfers{0};
  // Registers that writes leave as they are (flags, status).
  std::set<unsigned int> readOnly;
  // The next read fails with this code (0: none); nothing is recorded.
  mutable unsigned int failNextRead = 0;
  // The next read succeeds with only this many bytes (0: all of them).
  mutable unsigned int shortNextRead = 0;
  // The write of this number (0 the first after the last clearLog) fails
  // with failCode: it is recorded and changes no register.
  mutable int failWriteNumber = -1;
  unsigned int failCode = 0x70005;
  // What an interrupt reset does to the registers: nothing, unless set.
  std::function<void(unsigned int offset, const std::vector<unsigned char>& data)> onResetIrq;

  ErrorData write(const i2c::i2cInfo_s&, unsigned int offset, const unsigned char* data,
                  unsigned int len) const override {
    const int number = static_cast<int>(writes().size());
    record('W', offset, data, len);
    if (number == failWriteNumber) return ErrorData(ErrorData::NO_OVERWRITE, failCode);
    for (unsigned int i = 0; i < len && offset + i < 16; ++i)
      if (readOnly.count(offset + i) == 0) regs[offset + i] = data[i];
    return ErrorData();
  }
  ErrorData read(const i2c::i2cInfo_s&, unsigned int offset, unsigned char* data, unsigned int& len) const override {
    if (failNextRead != 0) {
      ErrorData err(ErrorData::NO_OVERWRITE, failNextRead);
      failNextRead = 0;
      len = 0;
      return err;
    }
    if (shortNextRead != 0 && shortNextRead < len) len = shortNextRead;
    shortNextRead = 0;
    for (unsigned int i = 0; i < len; ++i) data[i] = offset + i < 16 ? regs[offset + i] : 0;
    record('R', offset, data, len);
    return ErrorData();
  }
  ErrorData resetIrq(const i2c::i2cInfo_s&, unsigned int offset, const unsigned char* data,
                     unsigned int len) const override {
    record('I', offset, data, len);
    if (onResetIrq) onResetIrq(offset, std::vector<unsigned char>(data, data + len));
    return ErrorData();
  }

  void clearLog() {
    log.clear();
    failWriteNumber = -1;
  }
  // The writes alone.
  std::vector<Transfer> writes() const {
    std::vector<Transfer> out;
    for (const Transfer& t : log)
      if (t.kind == 'W') out.push_back(t);
    return out;
  }

 private:
  void record(char kind, unsigned int offset, const unsigned char* data, unsigned int len) const {
    log.emplace_back(kind, offset, std::vector<unsigned char>(data, data + len));
    log.back().at = Clock::now();
    ++transfers;
  }
};

// A hidden link of class L under owner to the object named target in the
// container, initialised as at step 3.
template <class L>
KavPtr<L> addLink(QueryBase* owner, unsigned int target, const KavPtr<Container>& container) {
  KavPtr<L> l(new L());
  l->setHidden(true);
  l->setScopeId(kav::sid::SCOPE_CONTAINER);
  l->setTargetInstanceName(target);
  cardstest::link(owner, l.getRawPointer());
  l->setContainer(container);
  l->init(initSequence::INIT_LINK_TREE_ELEMENTS);
  return l;
}

// A container with a register engine, and drivers on it.
struct ChipRig {
  KavPtr<Container> container;
  KavPtr<RegisterEngine> engine;

  ChipRig() : container(new Container(KavPtr<QueryBase>())), engine(new RegisterEngine()) {
    engine->setInstanceId(get_id_by_string("ChipTestEngine"));
    cardstest::link(container.getRawPointer(), engine.getRawPointer());
  }

  // A driver of class Chip from `node` (taken over) in the container, linked
  // to the engine and supplied as after card activation (step 11). rc: the
  // first failure of its set-up.
  template <class Chip>
  KavPtr<Chip> addChip(BinaryReaderNode* node, BaseErrorData& rc) {
    std::unique_ptr<BinaryReaderNode> owned(node);
    KavPtr<Chip> chip(new Chip());
    rc = chip->setAttributes(AttributeInfo(nullptr, owned.get(), nullptr));
    cardstest::link(container.getRawPointer(), chip.getRawPointer());
    addLink<I2cHwaInterfaceLink>(chip.getRawPointer(), engine->getInstanceId(), container);
    rc = chip->init(initSequence::INIT_LINK_TREE_ELEMENTS);
    rc = chip->init(initSequence::INIT_ACTIVATED_HW);
    return chip;
  }
};

}  // namespace chiptest

#endif
