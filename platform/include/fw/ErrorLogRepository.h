// The committed entries of the platform's error log, kept in a folder as
// JSON lines (one entry per line, README.md of platform/fw): read when the
// repository is made, appended to on every commit, so that a new process
// over the same folder sees what the earlier one committed. A line that is
// no valid entry is reported (problems(), and on stderr as
// "fw-errorlog: <file>:<line>: <what>") and skipped.
#ifndef FW_ERRORLOGREPOSITORY_H
#define FW_ERRORLOGREPOSITORY_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "fw/ErrorLog.h"
#include "fw/FwExport.h"

namespace fw {

class FW_API ErrorLogRepository {
 public:
  struct Problem {
    unsigned line = 0;
    std::string message;
  };

  // The file's name in the folder.
  static constexpr const char* kFileName = "errorlog.jsonl";

  // Reads `folder`/errorlog.jsonl when there is one.
  explicit ErrorLogRepository(std::string folder);
  ErrorLogRepository(const ErrorLogRepository&) = delete;
  ErrorLogRepository& operator=(const ErrorLogRepository&) = delete;

  // The repository of the simulated machine: the folder "firmware" of its
  // state folder (ravosim::stateDir()), whichever that is at the call.
  static ErrorLogRepository& machine();

  // Commits the entry: stamps it (component, severity, action, time),
  // keeps it and appends it to the file. The handle is consumed (deleted
  // and nulled) in every case. Returns 0, EINVAL for a null handle, or the
  // errno of a failed write (the entry is kept in memory all the same).
  int commit(ErrorLog*& log, uint16_t component, uint8_t severity, uint16_t action);

  // The committed entries, oldest first.
  std::vector<ErrorLog> entries() const;
  // The entry with the id; false when there is none.
  bool find(uint32_t id, ErrorLog& entry) const;
  // What was wrong with the file when it was read.
  std::vector<Problem> problems() const;
  const std::string& folder() const { return m_folder; }
  std::string path() const;

 private:
  void load();
  int append(const std::string& line);

  const std::string m_folder;
  mutable std::mutex m_mutex;
  std::vector<ErrorLog> m_entries;
  std::vector<Problem> m_problems;
  // The file ends in a line without its line break (a torn write): the next
  // entry starts a line of its own.
  bool m_needsLineBreak = false;
};

}  // namespace fw

#endif
