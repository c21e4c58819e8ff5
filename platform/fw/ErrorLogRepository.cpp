#include "fw/ErrorLogRepository.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <utility>

#include "ravo_sim_control.h"

namespace fw {

namespace {

int makeFolder(const std::string& folder) {
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = folder.find('/', pos + 1);
    partial = folder.substr(0, pos);
    if (partial.empty()) continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

}  // namespace

ErrorLogRepository::ErrorLogRepository(std::string folder) : m_folder(std::move(folder)) { load(); }

ErrorLogRepository& ErrorLogRepository::machine() {
  // One repository per folder, never destroyed: a reference handed out
  // stays valid when the machine's state folder changes.
  static std::mutex& lock = *new std::mutex;
  static auto& repositories = *new std::map<std::string, std::unique_ptr<ErrorLogRepository>>;
  const std::string folder = ravosim::stateDir() + "/firmware";
  std::lock_guard<std::mutex> g(lock);
  std::unique_ptr<ErrorLogRepository>& r = repositories[folder];
  if (!r) r = std::make_unique<ErrorLogRepository>(folder);
  return *r;
}

std::string ErrorLogRepository::path() const { return m_folder + "/" + kFileName; }

void ErrorLogRepository::load() {
  std::ifstream in(path(), std::ios::binary);
  if (!in) return;
  std::string line;
  unsigned number = 0;
  uint32_t highest = 0;
  while (std::getline(in, line)) {
    ++number;
    m_needsLineBreak = in.eof();  // the last line had no line break
    if (line.empty()) continue;
    ErrorLog entry;
    std::string error;
    if (!ErrorLog::fromJsonLine(line, entry, error)) {
      m_problems.push_back(Problem{number, error});
      std::fprintf(stderr, "fw-errorlog: %s:%u: %s\n", path().c_str(), number, error.c_str());
      continue;
    }
    if (entry.id() > highest) highest = entry.id();
    m_entries.push_back(std::move(entry));
  }
  ErrorLog::reserveIdsUpTo(highest);
}

int ErrorLogRepository::append(const std::string& line) {
  if (const int err = makeFolder(m_folder)) return err;
  const int fd = ::open(path().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  // One write per entry: a reader never sees half of one from a live
  // writer, and a torn write leaves one bad line.
  const std::string text = (m_needsLineBreak ? "\n" : "") + line + "\n";
  size_t done = 0;
  int err = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err == 0)
    m_needsLineBreak = false;
  else if (done > 0)
    m_needsLineBreak = true;  // torn: the next entry starts a line of its own
  return err;
}

int ErrorLogRepository::commit(ErrorLog*& log, uint16_t component, uint8_t severity, uint16_t action) {
  if (log == nullptr) return EINVAL;
  log->markCommitted(component, severity, action, 0);
  const std::string line = log->toJsonLine();
  std::lock_guard<std::mutex> g(m_mutex);
  m_entries.push_back(*log);
  ErrorLog::deleteLog(log);
  return append(line);
}

std::vector<ErrorLog> ErrorLogRepository::entries() const {
  std::lock_guard<std::mutex> g(m_mutex);
  return m_entries;
}

bool ErrorLogRepository::find(uint32_t id, ErrorLog& entry) const {
  std::lock_guard<std::mutex> g(m_mutex);
  for (const ErrorLog& e : m_entries) {
    if (e.id() != id) continue;
    entry = e;
    return true;
  }
  return false;
}

std::vector<ErrorLogRepository::Problem> ErrorLogRepository::problems() const {
  std::lock_guard<std::mutex> g(m_mutex);
  return m_problems;
}

}  // namespace fw
