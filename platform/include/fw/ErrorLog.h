// An entry of the platform's error log: who reported what (component,
// reason, module, severity, two user data words), what to replace (hardware
// and procedure callouts), software-error records, further user data and
// the trace buffers as they read when the entry was made.
//
// A new entry is a handle (ErrorLog*) owned by its creator until it is
// committed (ErrorLogRepository::commit) or deleted (deleteLog); both null
// the handle. A null handle is the success of a platform call that returns
// one.
#ifndef FW_ERRORLOG_H
#define FW_ERRORLOG_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fw/FwExport.h"

namespace fw {

class Target;

// The modules of the platform's own entries (their reason is the errno of
// the failure).
constexpr uint8_t kModuleCfamAccess = 0xF0;
constexpr uint8_t kModuleEventBus = 0xF1;
constexpr uint8_t kModuleTimerService = 0xF2;
constexpr uint8_t kModuleViewService = 0xF3;
constexpr uint8_t kModuleAbortableSleep = 0xF4;

struct FW_API HardwareCallout {
  uint32_t targetId = 0;
  uint32_t targetClass = 0;
  uint32_t targetType = 0;
  uint32_t position = 0;
  uint8_t priority = 0;
  bool deconfigure = false;
  uint32_t gardType = 0;
  uint8_t severity = 0;
  bool operator==(const HardwareCallout& o) const;
};

struct FW_API ProcedureCallout {
  uint32_t procedure = 0;
  uint8_t priority = 0;
  bool operator==(const ProcedureCallout& o) const;
};

struct FW_API SoftwareError {
  uint16_t component = 0;
  uint16_t reason = 0;
  uint8_t module = 0;
  uint32_t code = 0;
  bool operator==(const SoftwareError& o) const;
};

struct FW_API UserDataSection {
  uint16_t type = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const UserDataSection& o) const;
};

// A trace buffer decoded into text lines, oldest first ("<seconds>.<micros>
// <source line>: <text>"); `found` is false for a buffer that does not
// exist.
struct FW_API TraceSection {
  std::string buffer;
  bool found = false;
  std::vector<std::string> lines;
  bool operator==(const TraceSection& o) const;
};

class FW_API ErrorLog {
 public:
  enum Kind : uint8_t { Hardware = 1, Software = 2 };

  // A new entry with the next free id.
  static ErrorLog* create(Kind kind, uint8_t module, uint16_t reason, uint64_t userData1 = 0,
                          uint64_t userData2 = 0);
  // Deletes an entry that is not committed; nulls the handle. A null
  // handle is left alone.
  static void deleteLog(ErrorLog*& log);
  // Entries created and neither committed nor deleted yet.
  static unsigned openLogs();
  // Ids handed out from now on are above `id` (an error log read back from
  // its file reserves the ids it holds).
  static void reserveIdsUpTo(uint32_t id);

  // An empty entry (id 0): what an entry read back is filled into.
  ErrorLog() = default;

  void addHardwareCallout(const Target& target, uint8_t priority, bool deconfigure, uint32_t gardType,
                          uint8_t severity);
  void addProcedureCallout(uint32_t procedure, uint8_t priority);
  void addSoftwareError(uint16_t component, uint16_t reason, uint8_t module, uint32_t code);
  void addUserData(uint16_t type, const void* data, size_t length);
  // Decodes the named trace buffer into the entry.
  void collectTrace(const char* buffer);

  uint32_t id() const { return m_id; }
  Kind kind() const { return m_kind; }
  uint8_t module() const { return m_module; }
  uint16_t reason() const { return m_reason; }
  uint64_t userData1() const { return m_userData1; }
  uint64_t userData2() const { return m_userData2; }
  // Set when it is committed (0 before).
  uint16_t component() const { return m_component; }
  uint8_t severity() const { return m_severity; }
  uint16_t action() const { return m_action; }
  bool committed() const { return m_committed; }
  // Seconds since the epoch at creation and at commit.
  uint64_t created() const { return m_created; }
  uint64_t committedAt() const { return m_committedAt; }
  const std::vector<HardwareCallout>& hardwareCallouts() const { return m_hardwareCallouts; }
  const std::vector<ProcedureCallout>& procedureCallouts() const { return m_procedureCallouts; }
  const std::vector<SoftwareError>& softwareErrors() const { return m_softwareErrors; }
  const std::vector<UserDataSection>& userData() const { return m_userData; }
  const std::vector<TraceSection>& traces() const { return m_traces; }

  // Stamps the entry as committed.
  void markCommitted(uint16_t component, uint8_t severity, uint16_t action, uint64_t when);

  // The entry as one line of JSON (no line break), and back. A line that is
  // no valid entry leaves `out` as it was and says why in `error`.
  std::string toJsonLine() const;
  static bool fromJsonLine(const std::string& line, ErrorLog& out, std::string& error);

  bool operator==(const ErrorLog& o) const;
  bool operator!=(const ErrorLog& o) const { return !(*this == o); }

 private:
  uint32_t m_id = 0;
  Kind m_kind = Software;
  uint8_t m_module = 0;
  uint16_t m_reason = 0;
  uint64_t m_userData1 = 0;
  uint64_t m_userData2 = 0;
  uint16_t m_component = 0;
  uint8_t m_severity = 0;
  uint16_t m_action = 0;
  bool m_committed = false;
  uint64_t m_created = 0;
  uint64_t m_committedAt = 0;
  std::vector<HardwareCallout> m_hardwareCallouts;
  std::vector<ProcedureCallout> m_procedureCallouts;
  std::vector<SoftwareError> m_softwareErrors;
  std::vector<UserDataSection> m_userData;
  std::vector<TraceSection> m_traces;
};

}  // namespace fw

#endif
