// A start whose tree cannot be built returns the build error and does not
// wait for a configuration that can never become ready.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/e2e/E2eSupport.h"

using namespace e2e;

TEST(StartWithoutTree, ReturnsTheBuildErrorAndSkipsTheSteps) {
  // The configuration without the base domain's tree file.
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("quib-no-tree-" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const fs::directory_entry& e : fs::directory_iterator(configDir())) {
    if (e.path().extension() == ".bin" && e.path().filename() != "IpDomainRoot.bin")
      fs::copy_file(e.path(), dir / e.path().filename(), fs::copy_options::overwrite_existing);
  }
  const std::string saved = std::getenv("FACADEXMLPATH");
  setenv("FACADEXMLPATH", dir.c_str(), 1);
  // A fresh process reads the configuration from there.
  EXPECT_EXIT(
      {
        const unsigned int rc = code(kav::start(kav::PHE_Domain, true));
        const bool ok = rc == 0x7140u && tree().empty() &&
                        code(kav::send_card_plug(kCard0, kav::e_Plugged_Functional)) == 0x7012u &&
                        !is_config_complete();
        std::fprintf(stderr, "start rc=0x%08X\n", rc);
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "start rc=0x00007140");
  setenv("FACADEXMLPATH", saved.c_str(), 1);
  fs::remove_all(dir);
}
