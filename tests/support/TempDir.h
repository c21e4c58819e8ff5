// A scratch folder of a test, removed with everything in it when the object
// goes out of scope.
#ifndef QUIB_TESTS_SUPPORT_TEMPDIR_H
#define QUIB_TESTS_SUPPORT_TEMPDIR_H

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace testsupport {

class TempDir {
 public:
  // prefix: the start of the folder's name below /tmp.
  explicit TempDir(const std::string& prefix) {
    std::string name = "/tmp/" + prefix + "-XXXXXX";
    if (mkdtemp(&name[0]) != nullptr) m_path = name;
  }
  ~TempDir() {
    if (m_path.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when the folder could not be made.
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace testsupport

#endif
