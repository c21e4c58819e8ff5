// The redundant state table over the real scratchpad path of the simulated
// machine: two cards' scratchpad engines (ScratchpadViaFsiHwa), each under a
// RamHwdScratchpad, a RamHwr and a Ram, and a RedundantStateTable with its
// replicas in the two Rams.
//
// BM_RedundantWrite / BM_RedundantMaskedWrite / BM_RedundantRead: CPU time of
// one field operation, with the scratchpad writes (ravo_scp_write calls) and
// the bytes they carry per operation as counters.
//
// BM_ReadyAfterPlug: the time from a card plug to the table being available:
// the engines open (a scratchpad engine reads its whole memory into its
// cache), the device, block and Ram link and size themselves, and the first
// access connects both replicas and runs the consistency run. The argument
// picks what the memories hold: 0 a fresh pair (0, 0: the table is
// initialised), 1 a consistent pair (2, 2: every field is compared),
// 2 a pair whose replica 1 missed a write (6, 2: replica 0 is copied over).
//
// The least a two-replica protocol with a progress marker needs.
// Model: each replica's field data is one device write that a cut may tear
// anywhere (any of its bytes may or may not have landed); the marker is one
// byte that a write sets whole or not at all. After a cut the consistency
// run must find one replica holding the whole old or the whole new value
// and know which one (then copy it over the other).
//  - Both replicas get the data: 2 data writes.
//  - The marker names the replica that is whole. A replica may only be
//    written while the marker names the other one, so with the marker
//    unchanged between the two data writes the second one would tear the
//    replica the marker names: at least 1 marker write, between them.
//  - 3 is enough if the order alternates: write the replica the marker does
//    not name, move the marker to it, write the other one. The next field
//    write starts with that other replica. At every cut the named replica
//    is whole (old before the marker write lands, new after it).
// So the least is 3 device writes and 2 * size + 1 bytes per field write.
// Keeping a fixed order (replica 0 first, as the table does) costs one
// marker write more before the first data write: 4 (mark 0 busy, data 0,
// mark 0 newer, data 1). Returning the pair to "clean" afterwards, so that a
// start finds nothing to copy, is a 5th (mark 0 clean). The table makes 7
// writes and 2 * size + 5 bytes: (3, 2) data 0 (6, 2) (6, 3) data 1 (6, 2)
// (2, 2); replica 1's own two marker writes are not needed while both
// replicas are present, they keep its byte telling its own story when it
// is later read without its partner. (Where the device lands a torn write's
// bytes in order, as the simulator does, a sequence byte placed after the
// field in the same write would bring it to 2, for fields next to it.)
// A masked field write costs the same device writes: the Ram merges the
// mask into the cached bytes and writes the field's bytes.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "kav/cards/RedundantStateTable.h"
#include "kav/events/ComponentReadyEventSender.h"
#include "kav/events/ConfigChangeEventSender.h"
#include "kav/events/ConfigCompleteEventSender.h"
#include "kav/events/EventDispatcherProvider.h"
#include "kav/events/EventMemberCallback.h"
#include "kav/events/EventRouter.h"
#include "kav/events/PlugEventSender.h"
#include "kav/hwaccess/scratchpad/Ram.h"
#include "kav/hwaccess/scratchpad/RamHwdInterfaceLink.h"
#include "kav/hwaccess/scratchpad/RamHwdScratchpad.h"
#include "kav/hwaccess/scratchpad/RamHwr.h"
#include "kav/hwaccess/scratchpad/ScratchpadHwaInterfaceLink.h"
#include "kav/hwaccess/scratchpad/ScratchpadViaFsiHwa.h"
#include "kav/runtime/ColdStart.h"
#include "kav/runtime/GarbageCollector.h"
#include "kav/runtime/TimedExecutor.h"
#include "kav/runtime/TimeoutService.h"
#include "kav/tree/config/AttributeInfo.h"
#include "kav/tree/config/BinaryReaderNode.h"
#include "kav/tree/config/StringIds.h"
#include "kav/tree/config/StringToId.h"
#include "kav/tree/objects/Container.h"
#include "kav/tree/objects/ContainerList.h"

#include "ravo_sim_control.h"
#include "tests/cards/CardsTestSupport.h"

namespace {

// Two cards, each with a scratchpad of the size the oscillator cards have.
const char* const kMachine = R"(<machine name="state-table-bench">
  <cfam link="1" cascade="0">
    <scratchpad number="3" size="4096"/>
  </cfam>
  <cfam link="2" cascade="0">
    <scratchpad number="3" size="4096"/>
  </cfam>
</machine>)";
const char* const kPaths[2] = {"/dev/scp/L01C0E03", "/dev/scp/L02C0E03"};

// Table layout: administration byte, then fields of the sizes the card's
// clock fields have (a 4-byte word, a selection byte, a 16-byte block).
const char* const kFieldNames[] = {"BenchWord", "BenchByte", "BenchBlock"};
const char* const kFieldSizes[] = {"4", "1", "16"};
const unsigned kFieldCount = 3;

// The services the card objects use (once per process), plus the sender
// of the tables' ready events, the container list and the bench's machine.
void startServices() {
  static const bool started = [] {
    cardstest::startServices();
    initComponentReadyEventSender();
    initContainerList();
    ravosim::setStateDir("/tmp/quib-bench-state-" + std::to_string(getpid()));
    if (!ravosim::loadMachineText(kMachine, "state-table-bench").ok) std::abort();
    return true;
  }();
  (void)started;
}

using cardstest::element;
using cardstest::link;

// A step of the set-up that failed, with its return code, on stderr.
bool check(unsigned rc, const char* step) {
  if (rc != 0) std::fprintf(stderr, "state_table_bench: %s failed: 0x%X\n", step, rc);
  return rc == 0;
}

unsigned id(const char* s) { return get_id_by_string(s); }

BinaryReaderNode* layout() {
  const kavstl::string name = get_string_by_id(kav::sid::PARAMETER_NAME);
  const kavstl::string size = get_string_by_id(kav::sid::FIELD_SIZE);
  BinaryReaderNode* table = element("Table", {{name, "BenchStateTable"}},
                                    {element("Field", {{name, get_string_by_id(kav::sid::STATE_TABLE_ADMIN_FIELD)},
                                                       {size, "1"}})});
  for (unsigned i = 0; i < kFieldCount; ++i) table->addChild(element("Field", {{name, kFieldNames[i]}, {size, kFieldSizes[i]}}));
  return element(get_string_by_id(kav::sid::TABLE_LAYOUT_GROUP).c_str(), {}, {table});
}

// Bytes the engines were asked to write, over both cards.
uint64_t g_engineWrites = 0;
uint64_t g_engineBytes = 0;

// The engine as the factory builds it, counting the writes that reach it.
class CountingEngine : public ScratchpadViaFsiHwa {
 public:
  explicit CountingEngine(const FsiEngineInfo& info) : ScratchpadViaFsiHwa(info) {}
  ErrorData write(unsigned int offset, const unsigned char* data, unsigned int len) const override {
    ++g_engineWrites;
    g_engineBytes += len;
    return ScratchpadViaFsiHwa::write(offset, data, len);
  }
};

// One card's scratchpad path: engine, device, block and Ram in a container.
struct CardPath {
  KavPtr<ScratchpadViaFsiHwa> engine;
  KavPtr<RamHwdScratchpad> device;
  KavPtr<RamHwr> block;
  KavPtr<Ram> ram;
  bool ok = false;
};

CardPath plugCard(const KavPtr<Container>& root, unsigned card) {
  CardPath p;
  const unsigned suffix = card;
  p.engine = KavPtr<ScratchpadViaFsiHwa>(
      new CountingEngine(FsiEngineInfo(EngineInfo(EngineInfo::ENGINE_SCRATCHPAD, 0), 1, card + 1, 0, 3)));
  p.engine->setInstanceId(id(suffix == 0 ? "BenchEngine0" : "BenchEngine1"));
  link(root.getRawPointer(), p.engine.getRawPointer());
  if (!check(p.engine->init(initSequence::INIT_OPEN_ENGINES).getRc(), "engine open")) return p;

  p.device = KavPtr<RamHwdScratchpad>(new RamHwdScratchpad());
  p.device->setInstanceId(id(suffix == 0 ? "BenchDevice0" : "BenchDevice1"));
  link(root.getRawPointer(), p.device.getRawPointer());
  KavPtr<ScratchpadHwaInterfaceLink> engineLink(new ScratchpadHwaInterfaceLink());
  engineLink->setHidden(true);
  engineLink->setScopeId(kav::sid::SCOPE_CONTAINER);
  engineLink->setTargetInstanceName(p.engine->getInstanceId());
  link(p.device.getRawPointer(), engineLink.getRawPointer());
  engineLink->setContainer(root);

  std::unique_ptr<BinaryReaderNode> node(element("Ram", {}, {layout()}));
  p.ram = KavPtr<Ram>(new Ram());
  p.ram->setInstanceId(id(suffix == 0 ? "BenchRam0" : "BenchRam1"));
  link(root.getRawPointer(), p.ram.getRawPointer());
  if (!check(p.ram->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc(), "Ram attributes")) return p;
  p.block = KavPtr<RamHwr>(new RamHwr());
  p.block->setHidden(true);
  link(p.ram.getRawPointer(), p.block.getRawPointer());
  KavPtr<RamHwdInterfaceLink> deviceLink(new RamHwdInterfaceLink());
  deviceLink->setHidden(true);
  deviceLink->setScopeId(kav::sid::SCOPE_CONTAINER);
  deviceLink->setTargetInstanceName(p.device->getInstanceId());
  link(p.block.getRawPointer(), deviceLink.getRawPointer());
  deviceLink->setContainer(root);
  if (!check(p.device->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc(), "device link")) return p;
  if (!check(p.block->init(initSequence::INIT_LINK_TREE_ELEMENTS).getRc(), "block link")) return p;
  if (!check(p.ram->init(initSequence::INIT_VARIABLES).getRc(), "Ram init")) return p;
  p.ok = true;
  return p;
}

void unplugCard(CardPath& p) {
  if (p.ram != nullptr) p.ram->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  if (p.block != nullptr) p.block->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  if (p.device != nullptr) p.device->terminate(terminateSequence::TERM_UNLINK_TREE_ELEMENTS);
  if (p.engine != nullptr) p.engine->closeEngine();
}

// Both cards and a table over them, in a container of their own.
struct Rig {
  KavPtr<Container> root;
  CardPath cards[2];
  KavPtr<RedundantStateTable> table;
  bool ok = false;

  Rig() {
    startServices();
    root = KavPtr<Container>(new Container(KavPtr<QueryBase>()));
    cards[0] = plugCard(root, 0);
    cards[1] = plugCard(root, 1);
    if (!cards[0].ok || !cards[1].ok) return;
    table = KavPtr<RedundantStateTable>(new RedundantStateTable());
    table->setInstanceId(id("BenchRedundantTable"));
    std::unique_ptr<BinaryReaderNode> node(
        element("RedundantStateTable", {{get_string_by_id(kav::sid::STATE_TABLE_ID), "BenchStateTable"},
                                        {"ramInstanceName0", "BenchRam0"},
                                        {"ramInstanceName1", "BenchRam1"}}));
    if (!check(table->setAttributes(AttributeInfo(nullptr, node.get(), nullptr)).getRc(), "table attributes")) return;
    link(root.getRawPointer(), table.getRawPointer());
    ok = true;
  }
  ~Rig() {
    if (table != nullptr) table->terminate(terminateSequence::TERM_DEREGISTER_EVENTS);
    unplugCard(cards[0]);
    unplugCard(cards[1]);
  }
  // The first access connects the replicas and runs the consistency run.
  bool available() {
    unsigned char b[4];
    return check(table->readField(id(kFieldNames[0]), b, 4, 0).getRc(), "first read") && table->isTableAvailable();
  }
};

// ravo_scp_write calls (the simulator's count) and the bytes the engines
// passed on (the engines write through, one call per write) per operation.
struct WriteCount {
  uint64_t scp = ravosim::scratchpadWrites();
  uint64_t engine = g_engineWrites;
  uint64_t bytes = g_engineBytes;
};

void writeCounters(benchmark::State& state, const WriteCount& before, unsigned fieldSize) {
  const double ops = static_cast<double>(state.iterations());
  state.counters["scp_writes_per_op"] = static_cast<double>(ravosim::scratchpadWrites() - before.scp) / ops;
  state.counters["engine_writes_per_op"] = static_cast<double>(g_engineWrites - before.engine) / ops;
  state.counters["scp_bytes_per_op"] = static_cast<double>(g_engineBytes - before.bytes) / ops;
  state.counters["min_scp_writes"] = 3;
  state.counters["min_scp_bytes"] = 1.0 + 2.0 * fieldSize;
  state.counters["min_fixed_order_writes"] = 4;
}

void BM_RedundantWrite(benchmark::State& state) {
  ravosim::resetMachine();
  Rig rig;
  if (!rig.ok || !rig.available()) {
    state.SkipWithError("the table did not become available");
    return;
  }
  const unsigned field = static_cast<unsigned>(state.range(0));
  const unsigned size = static_cast<unsigned>(std::atoi(kFieldSizes[field]));
  const unsigned fieldId = id(kFieldNames[field]);
  std::vector<unsigned char> value(size, 0);
  const WriteCount before;
  unsigned n = 0;
  for (auto _ : state) {
    value[0] = static_cast<unsigned char>(++n);
    if (rig.table->writeField(fieldId, value.data(), size, 0).getRc() != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
  writeCounters(state, before, size);
  state.SetLabel(std::string(kFieldNames[field]) + " (" + kFieldSizes[field] + " bytes)");
}
BENCHMARK(BM_RedundantWrite)->Arg(0)->Arg(1)->Arg(2);

void BM_RedundantMaskedWrite(benchmark::State& state) {
  ravosim::resetMachine();
  Rig rig;
  if (!rig.ok || !rig.available()) {
    state.SkipWithError("the table did not become available");
    return;
  }
  const unsigned fieldId = id(kFieldNames[0]);
  unsigned char value[4] = {0, 0, 0, 0};
  unsigned char mask[4] = {0x0F, 0, 0, 0xF0};
  const WriteCount before;
  unsigned n = 0;
  for (auto _ : state) {
    value[0] = static_cast<unsigned char>(++n);
    if (rig.table->writeFieldWithMask(fieldId, value, mask, 4, 0).getRc() != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
  writeCounters(state, before, 4);
}
BENCHMARK(BM_RedundantMaskedWrite);

void BM_RedundantRead(benchmark::State& state) {
  ravosim::resetMachine();
  Rig rig;
  if (!rig.ok || !rig.available()) {
    state.SkipWithError("the table did not become available");
    return;
  }
  const unsigned fieldId = id(kFieldNames[2]);
  unsigned char value[16];
  const uint64_t before = ravosim::scratchpadWrites();
  for (auto _ : state) {
    if (rig.table->readField(fieldId, value, 16, 0).getRc() != 0) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  state.counters["scp_writes_per_op"] =
      static_cast<double>(ravosim::scratchpadWrites() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RedundantRead);

// One engine write of one byte, the unit the field write is made of (the
// simulator keeps every written byte in the card's state folder).
void BM_EngineWrite(benchmark::State& state) {
  ravosim::resetMachine();
  Rig rig;
  if (!rig.ok) {
    state.SkipWithError("no engine");
    return;
  }
  unsigned char b = 0;
  for (auto _ : state) {
    ++b;
    if (rig.cards[0].engine->write(100, &b, 1).getRc() != 0) {
      state.SkipWithError("write failed");
      break;
    }
  }
}
BENCHMARK(BM_EngineWrite);

// Counts the table's ComponentReadyEvents as the dispatcher delivers them.
// The sender's queue is short and a full queue ends the process, so a run
// that makes tables available back to back waits (outside the timing) until
// each event was delivered.
class ReadyCounter {
 public:
  ReadyCounter() {
    EventMemberCallback<ReadyCounter, ComponentReadyEvent> callback(this, &ReadyCounter::onEvent);
    m_id = m_router.registerForEvent(ComponentReadyEventSender::getInstance()->getEventSource(),
                                     id("BenchRedundantTable"), callback);
  }
  ~ReadyCounter() { m_router.deregisterFromEvent(m_id); }
  void onEvent(const ComponentReadyEvent&) {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_count;
    m_wake.notify_all();
  }
  bool waitFor(uint64_t count) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_wake.wait_for(lock, std::chrono::seconds(10), [&] { return m_count >= count; });
  }

 private:
  EventRouter<ComponentReadyEvent> m_router;
  long m_id = -1;
  std::mutex m_lock;
  std::condition_variable m_wake;
  uint64_t m_count = 0;
};

// Puts the memories into the state the argument names (see the top).
bool prepareMemories(int64_t kind, ReadyCounter& ready, uint64_t& expected) {
  ravosim::resetMachine();
  if (kind == 0) return true;
  Rig rig;
  if (!rig.ok || !rig.available()) return false;
  if (!ready.waitFor(++expected)) return false;
  unsigned char word[4] = {1, 2, 3, 4};
  if (rig.table->writeField(id(kFieldNames[0]), word, 4, 0).getRc() != 0) return false;
  unsigned char block[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
  if (rig.table->writeField(id(kFieldNames[2]), block, 16, 0).getRc() != 0) return false;
  if (kind == 2) {
    // Replica 0 written and marked newer; replica 1 never got the write.
    const unsigned char six = 6, fresh = 0x55;
    if (!ravosim::writeScratchpad(kPaths[0], 1, &fresh, 1)) return false;
    if (!ravosim::writeScratchpad(kPaths[0], 0, &six, 1)) return false;
  }
  return true;
}

void BM_ReadyAfterPlug(benchmark::State& state) {
  const int64_t kind = state.range(0);
  std::vector<double> us;
  uint64_t writes = 0;
  uint64_t bytes = 0;
  startServices();
  ReadyCounter readyEvents;
  uint64_t expected = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!prepareMemories(kind, readyEvents, expected)) {
      state.SkipWithError("could not prepare the memories");
      break;
    }
    const uint64_t before = ravosim::scratchpadWrites();
    const uint64_t bytesBefore = g_engineBytes;
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    bool ready = false;
    {
      Rig rig;
      ready = rig.ok && rig.available();
      const auto t1 = std::chrono::steady_clock::now();
      us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
      state.PauseTiming();  // tearing the rig down is not part of it
      writes += ravosim::scratchpadWrites() - before;
      bytes += g_engineBytes - bytesBefore;
      if (ready && !readyEvents.waitFor(++expected)) ready = false;
    }
    state.ResumeTiming();
    if (!ready) {
      state.SkipWithError("the table did not become available");
      break;
    }
  }
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["p50_us"] = us[us.size() / 2];
  state.counters["max_us"] = us.back();
  state.counters["scp_writes"] = static_cast<double>(writes) / static_cast<double>(us.size());
  state.counters["scp_bytes"] = static_cast<double>(bytes) / static_cast<double>(us.size());
  static const char* const labels[] = {"fresh pair (0,0)", "consistent pair (2,2)", "replica 1 behind (6,2)"};
  state.SetLabel(labels[kind]);
}
BENCHMARK(BM_ReadyAfterPlug)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("FACADEXMLPATH") == nullptr) setenv("FACADEXMLPATH", QUIB_BENCH_CONFIG_DIR, 1);
  if (std::getenv("FACADEFILELIST") == nullptr) setenv("FACADEFILELIST", "FileList.bin", 1);
  g_coldStart = false;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
