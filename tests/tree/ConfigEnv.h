// Test helper: points the library at the configuration compiled into the
// build tree (QUIB_BUILD_DIR/config, file list FileList.bin) unless the
// environment already names one.
#ifndef TESTS_TREE_CONFIGENV_H
#define TESTS_TREE_CONFIGENV_H

#include <cstdlib>
#include <string>

namespace testenv {

inline bool useBuiltConfig() {
  const char* build = std::getenv("QUIB_BUILD_DIR");
  if (build != nullptr && std::getenv("FACADEXMLPATH") == nullptr)
    setenv("FACADEXMLPATH", (std::string(build) + "/config").c_str(), 1);
  if (std::getenv("FACADEFILELIST") == nullptr) setenv("FACADEFILELIST", "FileList.bin", 1);
  return true;
}

}  // namespace testenv

#endif
