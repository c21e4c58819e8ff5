#include "fw/ErrorLog.h"

#include <atomic>
#include <ctime>

#include <nlohmann/json.hpp>

#include "fw/Target.h"
#include "ravo_sim_control.h"
#include "trace_ravo.h"

namespace fw {

namespace {

using nlohmann::json;

std::atomic<uint32_t> g_nextId{1};
std::atomic<unsigned> g_openLogs{0};

// The machine's time of day, for the stamps of an entry.
uint64_t machineSeconds() {
  const int64_t t = static_cast<int64_t>(std::time(nullptr)) + ravosim::timeOfDayOffset();
  return t > 0 ? static_cast<uint64_t>(t) : 0;
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    s.push_back(kDigits[b >> 4]);
    s.push_back(kDigits[b & 15]);
  }
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reading an entry back: every field checked for its kind and range, the
// first problem kept in `error`.
class Reader {
 public:
  explicit Reader(std::string& error) : m_error(error) {}

  bool fail(const std::string& what) {
    if (m_error.empty()) m_error = what;
    return false;
  }

  template <class T>
  bool number(const json& o, const char* key, T& out, const std::string& where = std::string()) {
    const auto it = o.find(key);
    if (it == o.end()) return fail(where + "missing field '" + key + "'");
    if (!it->is_number_unsigned()) return fail(where + "field '" + key + "' is not a number of 0 or more");
    const uint64_t v = it->get<uint64_t>();
    if (v > static_cast<uint64_t>(static_cast<T>(~T(0))))
      return fail(where + "field '" + key + "' is out of range: " + std::to_string(v));
    out = static_cast<T>(v);
    return true;
  }

  bool boolean(const json& o, const char* key, bool& out, const std::string& where) {
    const auto it = o.find(key);
    if (it == o.end()) return fail(where + "missing field '" + key + "'");
    if (!it->is_boolean()) return fail(where + "field '" + key + "' is not true or false");
    out = it->get<bool>();
    return true;
  }

  bool string(const json& o, const char* key, std::string& out, const std::string& where) {
    const auto it = o.find(key);
    if (it == o.end()) return fail(where + "missing field '" + key + "'");
    if (!it->is_string()) return fail(where + "field '" + key + "' is not a string");
    out = it->get_ref<const std::string&>();
    return true;
  }

  // The array under `key`, each element an object handed to `each`.
  template <class F>
  bool objects(const json& o, const char* key, F each) {
    const auto it = o.find(key);
    if (it == o.end()) return fail(std::string("missing field '") + key + "'");
    if (!it->is_array()) return fail(std::string("field '") + key + "' is not a list");
    size_t i = 0;
    for (const json& e : *it) {
      const std::string where = std::string(key) + "[" + std::to_string(i++) + "]: ";
      if (!e.is_object()) return fail(where + "not an object");
      if (!each(e, where)) return false;
    }
    return true;
  }

 private:
  std::string& m_error;
};

}  // namespace

bool HardwareCallout::operator==(const HardwareCallout& o) const {
  return targetId == o.targetId && targetClass == o.targetClass && targetType == o.targetType &&
         position == o.position && priority == o.priority && deconfigure == o.deconfigure &&
         gardType == o.gardType && severity == o.severity;
}

bool ProcedureCallout::operator==(const ProcedureCallout& o) const {
  return procedure == o.procedure && priority == o.priority;
}

bool SoftwareError::operator==(const SoftwareError& o) const {
  return component == o.component && reason == o.reason && module == o.module && code == o.code;
}

bool UserDataSection::operator==(const UserDataSection& o) const { return type == o.type && bytes == o.bytes; }

bool TraceSection::operator==(const TraceSection& o) const {
  return buffer == o.buffer && found == o.found && lines == o.lines;
}

ErrorLog* ErrorLog::create(Kind kind, uint8_t module, uint16_t reason, uint64_t userData1, uint64_t userData2) {
  ErrorLog* log = new ErrorLog;
  log->m_id = g_nextId.fetch_add(1);
  log->m_kind = kind;
  log->m_module = module;
  log->m_reason = reason;
  log->m_userData1 = userData1;
  log->m_userData2 = userData2;
  log->m_created = machineSeconds();
  g_openLogs.fetch_add(1);
  return log;
}

void ErrorLog::deleteLog(ErrorLog*& log) {
  if (log == nullptr) return;
  delete log;
  log = nullptr;
  g_openLogs.fetch_sub(1);
}

unsigned ErrorLog::openLogs() { return g_openLogs.load(); }

void ErrorLog::reserveIdsUpTo(uint32_t id) {
  uint32_t next = g_nextId.load();
  while (next <= id && !g_nextId.compare_exchange_weak(next, id + 1)) {
  }
}

void ErrorLog::addHardwareCallout(const Target& target, uint8_t priority, bool deconfigure, uint32_t gardType,
                                  uint8_t severity) {
  HardwareCallout c;
  c.targetId = target.id();
  c.targetClass = target.targetClass();
  c.targetType = target.type();
  c.position = target.position();
  c.priority = priority;
  c.deconfigure = deconfigure;
  c.gardType = gardType;
  c.severity = severity;
  m_hardwareCallouts.push_back(c);
}

void ErrorLog::addProcedureCallout(uint32_t procedure, uint8_t priority) {
  m_procedureCallouts.push_back(ProcedureCallout{procedure, priority});
}

void ErrorLog::addSoftwareError(uint16_t component, uint16_t reason, uint8_t module, uint32_t code) {
  m_softwareErrors.push_back(SoftwareError{component, reason, module, code});
}

void ErrorLog::addUserData(uint16_t type, const void* data, size_t length) {
  UserDataSection s;
  s.type = type;
  if (data != nullptr && length != 0) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    s.bytes.assign(bytes, bytes + length);
  }
  m_userData.push_back(std::move(s));
}

void ErrorLog::collectTrace(const char* buffer) {
  TraceSection s;
  s.buffer = buffer != nullptr ? buffer : "";
  trace_ravo_desc_t desc = buffer != nullptr ? trace_ravo_find_buffer(buffer) : nullptr;
  s.found = desc != nullptr;
  if (desc != nullptr)
    trace_ravo_decode(
        desc, [](void* ctx, const char* text) { static_cast<std::vector<std::string>*>(ctx)->push_back(text); },
        &s.lines);
  m_traces.push_back(std::move(s));
}

void ErrorLog::markCommitted(uint16_t component, uint8_t severity, uint16_t action, uint64_t when) {
  m_component = component;
  m_severity = severity;
  m_action = action;
  m_committed = true;
  m_committedAt = when != 0 ? when : machineSeconds();
}

std::string ErrorLog::toJsonLine() const {
  json j;
  j["format"] = 1;
  j["id"] = m_id;
  j["kind"] = m_kind == Hardware ? "hardware" : "software";
  j["created"] = m_created;
  j["committed"] = m_committed;
  j["committedAt"] = m_committedAt;
  j["component"] = m_component;
  j["reason"] = m_reason;
  j["module"] = m_module;
  j["severity"] = m_severity;
  j["action"] = m_action;
  j["userData1"] = m_userData1;
  j["userData2"] = m_userData2;
  json hw = json::array();
  for (const HardwareCallout& c : m_hardwareCallouts)
    hw.push_back({{"targetId", c.targetId},
                  {"targetClass", c.targetClass},
                  {"targetType", c.targetType},
                  {"position", c.position},
                  {"priority", c.priority},
                  {"deconfigure", c.deconfigure},
                  {"gardType", c.gardType},
                  {"severity", c.severity}});
  j["hardwareCallouts"] = std::move(hw);
  json proc = json::array();
  for (const ProcedureCallout& c : m_procedureCallouts)
    proc.push_back({{"procedure", c.procedure}, {"priority", c.priority}});
  j["procedureCallouts"] = std::move(proc);
  json sw = json::array();
  for (const SoftwareError& e : m_softwareErrors)
    sw.push_back({{"component", e.component}, {"reason", e.reason}, {"module", e.module}, {"code", e.code}});
  j["softwareErrors"] = std::move(sw);
  json ud = json::array();
  for (const UserDataSection& s : m_userData) ud.push_back({{"type", s.type}, {"data", hexBytes(s.bytes)}});
  j["userData"] = std::move(ud);
  json traces = json::array();
  for (const TraceSection& t : m_traces) traces.push_back({{"buffer", t.buffer}, {"found", t.found}, {"lines", t.lines}});
  j["traces"] = std::move(traces);
  // Trace texts may hold bytes that are no UTF-8: replaced, never thrown.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool ErrorLog::fromJsonLine(const std::string& line, ErrorLog& out, std::string& error) {
  error.clear();
  Reader r(error);
  const json j = json::parse(line, nullptr, false);
  if (j.is_discarded()) return r.fail("not valid JSON");
  if (!j.is_object()) return r.fail("not a JSON object");
  ErrorLog e;
  uint32_t format = 0;
  std::string kind;
  if (!r.number(j, "format", format)) return false;
  if (format != 1) return r.fail("unknown format " + std::to_string(format));
  if (!r.number(j, "id", e.m_id) || !r.string(j, "kind", kind, "") || !r.number(j, "created", e.m_created) ||
      !r.boolean(j, "committed", e.m_committed, "") || !r.number(j, "committedAt", e.m_committedAt) ||
      !r.number(j, "component", e.m_component) || !r.number(j, "reason", e.m_reason) ||
      !r.number(j, "module", e.m_module) || !r.number(j, "severity", e.m_severity) ||
      !r.number(j, "action", e.m_action) || !r.number(j, "userData1", e.m_userData1) ||
      !r.number(j, "userData2", e.m_userData2))
    return false;
  if (kind == "hardware")
    e.m_kind = Hardware;
  else if (kind == "software")
    e.m_kind = Software;
  else
    return r.fail("field 'kind' is neither hardware nor software: '" + kind + "'");
  const bool ok =
      r.objects(j, "hardwareCallouts",
                [&](const json& o, const std::string& where) {
                  HardwareCallout c;
                  if (!r.number(o, "targetId", c.targetId, where) || !r.number(o, "targetClass", c.targetClass, where) ||
                      !r.number(o, "targetType", c.targetType, where) || !r.number(o, "position", c.position, where) ||
                      !r.number(o, "priority", c.priority, where) ||
                      !r.boolean(o, "deconfigure", c.deconfigure, where) ||
                      !r.number(o, "gardType", c.gardType, where) || !r.number(o, "severity", c.severity, where))
                    return false;
                  e.m_hardwareCallouts.push_back(c);
                  return true;
                }) &&
      r.objects(j, "procedureCallouts",
                [&](const json& o, const std::string& where) {
                  ProcedureCallout c;
                  if (!r.number(o, "procedure", c.procedure, where) || !r.number(o, "priority", c.priority, where))
                    return false;
                  e.m_procedureCallouts.push_back(c);
                  return true;
                }) &&
      r.objects(j, "softwareErrors",
                [&](const json& o, const std::string& where) {
                  SoftwareError s;
                  if (!r.number(o, "component", s.component, where) || !r.number(o, "reason", s.reason, where) ||
                      !r.number(o, "module", s.module, where) || !r.number(o, "code", s.code, where))
                    return false;
                  e.m_softwareErrors.push_back(s);
                  return true;
                }) &&
      r.objects(j, "userData",
                [&](const json& o, const std::string& where) {
                  UserDataSection s;
                  std::string data;
                  if (!r.number(o, "type", s.type, where) || !r.string(o, "data", data, where)) return false;
                  if (data.size() % 2 != 0) return r.fail(where + "field 'data' has an odd number of hex digits");
                  for (size_t i = 0; i < data.size(); i += 2) {
                    const int hi = hexDigit(data[i]);
                    const int lo = hexDigit(data[i + 1]);
                    if (hi < 0 || lo < 0) return r.fail(where + "field 'data' is not hex");
                    s.bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
                  }
                  e.m_userData.push_back(std::move(s));
                  return true;
                }) &&
      r.objects(j, "traces", [&](const json& o, const std::string& where) {
        TraceSection t;
        if (!r.string(o, "buffer", t.buffer, where) || !r.boolean(o, "found", t.found, where)) return false;
        const auto lines = o.find("lines");
        if (lines == o.end() || !lines->is_array()) return r.fail(where + "field 'lines' is not a list");
        for (const json& l : *lines) {
          if (!l.is_string()) return r.fail(where + "a trace line is not a string");
          t.lines.push_back(l.get_ref<const std::string&>());
        }
        e.m_traces.push_back(std::move(t));
        return true;
      });
  if (!ok) return false;
  out = std::move(e);
  return true;
}

bool ErrorLog::operator==(const ErrorLog& o) const {
  return m_id == o.m_id && m_kind == o.m_kind && m_module == o.m_module && m_reason == o.m_reason &&
         m_userData1 == o.m_userData1 && m_userData2 == o.m_userData2 && m_component == o.m_component &&
         m_severity == o.m_severity && m_action == o.m_action && m_committed == o.m_committed &&
         m_created == o.m_created && m_committedAt == o.m_committedAt && m_hardwareCallouts == o.m_hardwareCallouts &&
         m_procedureCallouts == o.m_procedureCallouts && m_softwareErrors == o.m_softwareErrors &&
         m_userData == o.m_userData && m_traces == o.m_traces;
}

}  // namespace fw
