// The model of the simulated machine behind the ravo libraries.
//
// One process-wide Machine holds the CFAMs with their engines, the open
// handles, the asynchronous-request contexts, the first-failure data, the
// injected faults and the persistent state. One mutex guards all of it;
// every ravo call and every control call runs under it (Call below).
#ifndef RAVO_SIM_MACHINE_H
#define RAVO_SIM_MACHINE_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "SimDeviceModel.h"
#include "ravo.h"
#include "ravo_sim_control.h"

namespace ravosim {
namespace detail {

enum class Family : uint8_t { Other, Gpio, Iic, Iomux, Scp, Fsi };

const char* familyPrefix(Family f);
// "/dev/gpio/L00C0E08", with "P%02u" when port is not ~0u.
std::string devicePath(Family f, unsigned link, unsigned cascade, unsigned engine, unsigned port = ~0u);
// Parses a device path of the family; false when it is not one.
bool parseDevicePath(Family f, const std::string& path, unsigned& link, unsigned& cascade, unsigned& engine,
                     unsigned& port);

// What a GPIO pin sees from outside when nothing on the engine drives it,
// and what drives a device's digital input: a fixed level, a CFAM's
// presence, a GPIO pin, or a device's output (engine, port, address, the
// output by name and index). A GPIO pin may also follow a lookup table of
// its engine's programmable logic (Table: the table in `pin`, its inputs in
// GpioState::tableInputs). A Level wire reads low, or high with `invert`.
struct PinWire {
  enum Kind { Level, CfamPresence, Pin, Device, Table } kind = Level;
  unsigned link = 0, cascade = 0, engine = 0, pin = 0;
  unsigned port = 0, address = 0;
  unsigned output = 0;
  std::string outputName;
  bool invert = false;
};

struct GpioState {
  static constexpr unsigned kConfigRegs = 9;  // 0x40000003..0x4000000B
  uint32_t initialLevels = 0;
  uint32_t external = 0;  // levels of unwired pins
  PinWire initialWires[32];
  PinWire wires[32];
  uint8_t mode[32] = {};
  uint32_t latch = 0;
  uint32_t blinkMask = 0;
  uint32_t blinkRate = 0;
  uint32_t condition = 0;
  // Pins driven from outside through the control interface (drivePin):
  // they show driveLevels instead of what they are wired to.
  uint32_t driveMask = 0;
  uint32_t driveLevels = 0;
  // Levels the transaction log saw last (pin changes are logged against it).
  uint32_t loggedLevels = 0;
  uint32_t config[kConfigRegs] = {};
  uint32_t configReset[kConfigRegs] = {};
  // The inputs 1..3 of the lookup table that drives a pin (its wire of kind
  // Table): the table's control selects the one the pin follows.
  PinWire tableInputs[32][3];
  void powerOn();
  // The state of table t's control: 1..3, or 0 when both state bits are set
  // (no control the device access layer could have written).
  unsigned lookupControl(unsigned table) const;
};

// What an input of a device is wired to: a digital input follows `wire`, a
// clock input the oscillator `oscillator` (found on CFAM oscLink/oscCascade
// at oscIndex) or, with `fromDevice`, the clock output of another device
// (`wire`, kind Device; `output` and `outputName` name the clock output).
struct DeviceInputWire {
  unsigned input = 0;
  bool clock = false;
  bool fromDevice = false;
  PinWire wire;
  std::string oscillator;
  unsigned oscLink = 0, oscCascade = 0, oscIndex = 0;
  unsigned line = 0;
};

struct I2cDeviceSlot {
  std::unique_ptr<DeviceModel> device;
  bool present = true;
  bool initialPresent = true;
  unsigned irqResets = 0;
  std::vector<DeviceInputWire> inputs;
  std::string supplyName;
  int supply = -1;  // index into Model::supplies, -1 for always on
  unsigned line = 0;
};

struct I2cPort {
  std::map<unsigned, I2cDeviceSlot> devices;
  uint64_t busNs = 0;
  uint64_t transfers = 0;
};

struct I2cState {
  std::vector<I2cPort> ports;
};

struct ScpState {
  uint32_t size = 0;
  std::vector<uint8_t> bytes;
  bool cold = true;
};

struct IomuxState {
  uint32_t size = 0;
  std::vector<uint32_t> entries;
  int state = RAVO_IOMUX_STATE_WRITABLE;
};

struct Engine {
  unsigned number = 0;
  unsigned rawType = 0;
  Family family = Family::Other;
  unsigned line = 0;
  GpioState gpio;
  I2cState i2c;
  ScpState scp;
  IomuxState iomux;
};

// An oscillator on a card. While the card is absent it looks failed.
struct Oscillator {
  std::string name;
  uint32_t nominalKHz = 0;
  OscillatorState initialState = OscillatorState::Running;
  int32_t initialDriftPpm = 0;
  OscillatorState state = OscillatorState::Running;
  int32_t driftPpm = 0;
  void powerOn() {
    state = initialState;
    driftPpm = initialDriftPpm;
  }
};

// A supply of devices: on while not cut and, when it has an enable wire,
// while that wire is high.
struct Supply {
  std::string name;
  bool wired = false;
  PinWire enable;
  bool cut = false;
  unsigned line = 0;
};

struct Cfam {
  unsigned link = 0, cascade = 0;
  unsigned line = 0;
  // The card that carries the CFAM: its type and serial number. A card
  // without a serial (a blank card, or a CFAM soldered onto the machine)
  // keeps its state by place instead.
  std::string cardType;
  std::string serial;
  bool present = true;
  bool initialPresent = true;
  // Counts insertions: a handle opened before a removal stays dead after
  // the CFAM comes back.
  uint64_t epoch = 0;
  std::map<unsigned, Engine> engines;  // by engine number
  std::vector<Oscillator> oscillators;
};

struct Fault {
  std::string op;
  std::string pattern;
  int err = 0;
  unsigned remaining = 1;
  bool always = false;
  // Matching calls that pass before the fault acts.
  unsigned skip = 0;
  // Instead of failing the call, the CFAM at (link, cascade) is pulled just
  // before it, so the call meets a card that has gone.
  bool pullsCfam = false;
  unsigned link = 0;
  unsigned cascade = 0;
};

struct Delay {
  std::string pattern;
  unsigned ms = 0;
};

// A target of the firmware's hardware targeting (<firmware>): what the
// control interface reports of it, and for a processor chip its CFAM
// registers. A target on a CFAM (an oscillator card) is present while that
// CFAM is; the others keep a presence of their own.
struct TargetState {
  FirmwareTarget info;
  bool initialPresent = true;
  bool initialFunctional = true;
  bool functionalFlag = true;  // functional while also present
  bool onCfam = false;
  unsigned link = 0, cascade = 0;
  std::map<uint32_t, uint32_t> registers;  // by address: value
  unsigned line = 0;
};

// The firmware's view of the machine: this service processor's role, the
// system state, the clock of the day and the targets in description order.
struct FirmwareView {
  bool primary = true;
  uint32_t systemState = 0;
  int64_t timeOfDayOffset = 0;
  std::vector<TargetState> targets;
};

struct Model {
  std::string name;
  std::map<std::pair<unsigned, unsigned>, Cfam> cfams;
  std::vector<Fault> faults;
  std::vector<Delay> delays;
  std::vector<Supply> supplies;
  FirmwareView firmware;
};

// The names of the firmware services' calls that faults may name besides
// the ravo calls (README.md, "The firmware's view of the machine").
bool firmwareOperation(const std::string& op);

// "ENXIO", or "errno <n>" for a number without a name here.
std::string errnoName(int err);

// Parses a machine description. On failure returns false with the line
// (0 when the text is not XML at all) and message set.
bool parseDescription(const std::string& text, Model& out, unsigned& line, std::string& message);

struct FfdcRecord {
  uint32_t seq = 0;
  int err = 0;
  std::string text;
};

struct FfdcStore {
  std::vector<FfdcRecord> records;
  size_t extracted = 0;
  unsigned lost = 0;
};

// Builds a chain buffer of the records [first, last) (malloc'ed).
void* buildFfdcChain(const std::vector<FfdcRecord>& records, size_t first, size_t last, size_t& bytes);

struct IicParams {
  uint32_t speedKHz = 100;
  uint32_t address = 0;
  uint32_t width = 1;
  uint32_t offset = 0;
  uint32_t timeoutMs = 100;
  uint32_t writeDelayMs = 0;
  uint32_t writeSplit = 0;
  uint32_t flags = 0;
};

}  // namespace detail
}  // namespace ravosim

struct ravo_struct {
  uint32_t magic = 0;
  ravosim::detail::Family family = ravosim::detail::Family::Other;
  std::string path;
  unsigned link = 0, cascade = 0, engine = 0, port = ~0u;
  uint64_t generation = 0;
  uint64_t epoch = 0;
  int flags = 0;
  int64_t position = 0;
  ravosim::detail::IicParams iic;
};

struct ravo_aio_cb {
  enum State { Idle, Pending, Completed, Returned, Canceled };
  void* key = nullptr;
  ravo_struct* dev = nullptr;
  std::string path;
  ravo_gpio_event_t event{};
  State state = Idle;
  // The log has recorded that a latched condition holds this request back.
  bool heldLogged = false;
  int status = RAVO_AIO_STATUS_IDLE;
  int second = 0;
  ravo_aio_ctx* ctx = nullptr;
};

struct ravo_aio_ctx {
  unsigned capacity = 0;
  std::set<ravo_aio_cb*> pending;
  std::deque<ravo_aio_cb*> completed;
  unsigned waiters = 0;
  bool breakPending = false;
  std::condition_variable cv;
};

namespace ravosim {
namespace detail {

class Call;

class Machine {
 public:
  // The machine, created and loaded from RAVO_SIM_MACHINE on first use.
  static Machine& get();

  std::mutex mu;
  Model model;
  std::string descText;
  std::string descName;
  std::string descPath;
  uint64_t generation = 1;
  std::string stateDir;

  std::unordered_set<ravo_struct*> handles;
  std::unordered_set<ravo_aio_ctx*> contexts;
  std::unordered_set<ravo_aio_cb*> cbs;
  std::map<std::string, FfdcStore> ffdc;
  uint32_t ffdcSeq = 0;
  std::map<std::string, unsigned> injected;

  // Devices with inputs or a supply, in the order propagateSignals visits them.
  struct WiredDevice {
    Cfam* cfam;
    I2cDeviceSlot* slot;
  };
  std::vector<WiredDevice> wiredDevices;
  bool propagating = false;

  // Wake-ups the devices asked for (DeviceModel::wakeAt): none is due
  // before nextWake (time_point::max() when none is pending). They are
  // handled when the machine is next used (every call and control call
  // starts with processTimers) and by waiters for requests, who wait no
  // longer than nextWake.
  std::chrono::steady_clock::time_point nextWake = std::chrono::steady_clock::time_point::max();
  bool handlingTimers = false;
  // Runs every due wake-up, earliest first, each at its own time: the
  // device's hook, then the wiring and pending requests as after any change.
  void processTimers();
  // A device asked for a wake-up at `when`.
  void wakeRequested(std::chrono::steady_clock::time_point when);

  // Power cut (cutPowerAfterScratchpadWrites): writes left until the cut
  // (0: none armed), the tear of the last one (-1: none), the devices that
  // count, and whether the power is off now.
  unsigned cutAfter = 0;
  int cutTear = -1;
  std::string cutPattern;
  bool powerCut = false;
  uint64_t scpWrites = 0;  // ravo_scp_write calls that reached a memory

  // The transaction log, a ring of `logCapacity` entries (see
  // ravo_sim_control.h). Entries are reused in place once the ring is full.
  bool logOn = true;
  size_t logCapacity = 8192;
  std::vector<Transaction> logRing;
  size_t logNext = 0;  // where the next entry goes once the ring is full
  uint64_t logSeq = 0;
  uint64_t logDropped = 0;
  // Time of the last entry: a wake-up handled late is logged at its own
  // time, but never before what the log already holds.
  std::chrono::steady_clock::time_point logLast;
  // A new entry of the kind for the device, time-stamped now; null while the
  // log is off. The caller fills in the rest before releasing the lock.
  Transaction* logEntry(Transaction::Kind kind, const std::string& device);
  // Logs a PinChange for every GPIO engine whose levels differ from what the
  // log saw last.
  void logPinChanges();
  // Empties the ring and the dropped count.
  void clearLog() {
    logRing.clear();
    logNext = 0;
    logDropped = 0;
  }
  // Takes the current levels as seen, without logging (a new machine).
  void snapshotPins();

  // All of the following run with mu held.
  Cfam* findCfam(unsigned link, unsigned cascade);
  // Pulls the card: its engines fail with ENODEV, their pending requests
  // complete with ENODEV.
  void pull(Cfam& c);
  Engine* findEngine(unsigned link, unsigned cascade, unsigned engine);
  // The engine of a handle, or null with err ENODEV (stale handle, CFAM or
  // engine gone).
  Engine* engineOf(const ravo_struct* h, int& err);
  bool handleValid(ravo_struct* h, Family f) const;

  uint32_t gpioLevels(const Engine& e, unsigned depth = 0);
  // The level of a pin that follows a lookup table.
  bool tableLevel(const GpioState& g, unsigned pin, unsigned depth);
  // Level of a wire other than a fixed level.
  bool wireLevel(const PinWire& w, unsigned depth = 0);
  // Completes every pending request whose event is met, after the devices'
  // inputs and supplies followed their wiring (propagateSignals).
  void recheckRequests();
  // Hands every wired device the levels of its inputs, its oscillators and
  // its supply, until nothing changes any more.
  void propagateSignals();
  // A device's output changed: what is wired to it follows.
  void deviceChanged();
  I2cDeviceSlot* findDevice(unsigned link, unsigned cascade, unsigned engine, unsigned port, unsigned address);
  // By name; null when the machine has none.
  Oscillator* findOscillator(const std::string& name, Cfam** cfam = nullptr);
  Supply* findSupply(const std::string& name);
  bool supplyOn(const Supply& s);
  ClockSignal clockSignal(const DeviceInputWire& w);
  // Completes with ENODEV every pending request whose device `gone` says
  // went away.
  template <class Pred>
  void completeGone(Pred gone) {
    for (ravo_aio_ctx* ctx : contexts) {
      for (auto it = ctx->pending.begin(); it != ctx->pending.end();) {
        ravo_aio_cb* cb = *it;
        if (gone(cb)) {
          it = ctx->pending.erase(it);
          complete(cb, ENODEV, 0);
        } else {
          ++it;
        }
      }
    }
  }
  void complete(ravo_aio_cb* cb, int status, int second);

  // Fault injection: true when a fault for op/path fires (err set).
  bool takeFault(const std::string& op, const std::string& path, int& err);
  unsigned delayFor(const std::string& portPath) const;
  void recordFfdc(const std::string& path, const std::string& op, int err, const std::string& detail);

  // Makes `m` the machine: pending requests complete with ENODEV; open
  // handles go stale unless `keepHandles`.
  void install(Model&& m, bool keepHandles = false);
  // Power-on state of every device of the model.
  void powerOnDevices();
  // Puts a device whose clock input follows another device's clock output
  // after that device, so that one round of propagateSignals hands it the
  // clock its source has after the same change (a power-on, say).
  void orderWiredDevices();
  // As a new process after a power cycle sees the machine (restartMachine).
  void restart();
  // A call that would change persistent state while the power is cut fails
  // with EIO (true); false otherwise.
  bool failWithoutPower(Call& c);

  // Persistent state: scratchpad and I/O multiplexer contents, kept per
  // card (README.md, "Persistent state").
  void loadPersistent();
  // Removes every state file and zeroes the contents (cold start).
  void wipePersistent();
  // The scratchpad and I/O multiplexer contents of the card as its state
  // folder holds them (zeros and cold start without files).
  void loadCardState(Cfam& c);
  // Removes the state files of the card's folder and zeroes its contents.
  void wipeCardState(Cfam& c);
  void persistScp(const Engine& e, unsigned link, unsigned cascade, uint32_t offset, uint32_t len);
  void persistIomux(const Engine& e, unsigned link, unsigned cascade);
  // "cards/<type>/<serial>" or "slots/L<link>C<cascade>" below the state
  // directory.
  std::string stateFolder(const Cfam& c) const;

 private:
  Machine();
  std::string stateFile(const Cfam& c, const char* kind, unsigned engine) const;
  // Where an earlier version kept the file: by place, in the state directory.
  std::string oldStateFile(const Cfam& c, const char* kind, unsigned engine) const;
};

// Type and serial of a card: letters, digits, '.', '_' and '-', not
// starting with a '.' (they name folders of the state directory).
bool validCardText(const std::string& s);

// One ravo call: holds the machine lock, knows the call's name and device
// path, and sets errno when it ends in failure.
class Call {
 public:
  explicit Call(const char* op);
  ~Call();
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  Machine& m;
  std::unique_lock<std::mutex> lock;
  const char* op;
  std::string path;

  // The errno of the failure so far (0 while none).
  int error() const { return m_err; }

  // Checks the handle (EBADF) and takes its path.
  bool handle(ravo_struct* h, Family f);
  // An injected fault for this call fired (errno set, FFDC recorded).
  bool injectedFault();
  // Records FFDC for the path (when there is one), sets errno, returns -1.
  int fail(int err, const std::string& detail = std::string());
  // The handle's engine, or fail(ENODEV) and null.
  Engine* engine(const ravo_struct* h);
  // Common start of a call on an open engine: handle check, injected fault,
  // engine lookup. Null (errno set) when the call must fail.
  Engine* begin(ravo_struct* h, Family f);
  // Moves the handle's position within an engine of `size` units; `unit`
  // names them in the failure text. The new position, or -1 (EINVAL).
  int64_t seek(ravo_struct* h, int64_t offset, int whence, uint64_t size, const char* unit);

 private:
  int m_err = 0;
};

std::string hex(uint32_t v);

// The ..._ffdc_extract and ..._ffdc_unlock calls of every family. `single`:
// one record per extract (GPIO, I/O multiplexer) instead of all at once.
int extractFfdc(const char* op, ravo_struct* h, Family f, bool single, int flags, void** buf);
int unlockFfdc(const char* op, ravo_struct* h, Family f, int flags);

// Opens a handle of the family on an engine of the matching kind (the
// caller holds the Call). Null with errno on failure.
ravo_struct* openHandle(Call& c, Family f, const char* path, int flags, bool withPort);
// Closes (releases) a handle; pending requests on it complete with ENODEV.
int closeHandle(Call& c, ravo_struct* h, Family f);

}  // namespace detail
}  // namespace ravosim

#endif
