// The add-in package as the platform receives it: exactly MANIFEST.XML and the two libraries,
// each of the architecture its manifest entry names. Packing needs both libraries built; a build
// without the other architecture's library skips, saying which file is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "console_harness.h"

namespace console_test {
namespace {

const std::string kManifest =
    R"(<?xml version="1.0" encoding="UTF-8"?><bundle xmlns="http://v8.1c.ru/8.2/addin/bundle">)"
    R"(<component os="Linux" path="libTavixfr64_3_0.so" type="native" arch="x86_64"/>)"
    R"(<component os="Linux" path="libTavixfr32_3_0.so" type="native" arch="i386"/></bundle>)";

bool usable(const std::string& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

bool runnable(const std::string& path) {
  return path.find("NOTFOUND") == std::string::npos && access(path.c_str(), X_OK) == 0;
}

Finished pack(const std::string& library64, const std::string& library32,
              const std::string& output) {
  return runProgram({TAVIX_CMAKE, "-DLIBRARY64=" + library64, "-DLIBRARY32=" + library32,
                     std::string("-DMANIFEST=") + TAVIX_PACKAGE_MANIFEST, "-DOUTPUT=" + output,
                     std::string("-DZIP=") + TAVIX_ZIP, "-P", TAVIX_PACKAGE_SCRIPT},
                    std::chrono::seconds(120));
}

std::string unzipped(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{TAVIX_UNZIP};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return runProgram(command, std::chrono::seconds(60)).out;
}

class Package : public testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& library : {library64_, library32_})
      if (!usable(library))
        GTEST_SKIP() << "the package needs both libraries; " << library
                     << " is not built (scripts/package.sh builds both)";
    if (!runnable(TAVIX_ZIP) || !runnable(TAVIX_UNZIP))
      GTEST_SKIP() << "zip and unzip are needed: run scripts/install-deps.sh";
  }

  const std::string library64_ = TAVIX_PACKAGE_LIBRARY64;
  const std::string library32_ = TAVIX_PACKAGE_LIBRARY32;
  ScratchDirectory scratch_;
};

TEST_F(Package, HoldsTheManifestAndBothLibrariesOfTheirArchitectures) {
  const std::string zip = scratch_.file("Tavixfr_3_0.zip");
  const Finished packed = pack(library64_, library32_, zip);
  ASSERT_EQ(packed.exitCode, 0) << packed.out << packed.err;

  EXPECT_EQ(unzipped({"-Z1", zip}), "MANIFEST.XML\nlibTavixfr64_3_0.so\nlibTavixfr32_3_0.so\n");
  std::string manifest = unzipped({"-p", zip, "MANIFEST.XML"});
  while (!manifest.empty() && (manifest.back() == '\n' || manifest.back() == '\r'))
    manifest.pop_back();
  EXPECT_EQ(manifest, kManifest);

  // ELF identification: the class at byte 4 (1: 32-bit, 2: 64-bit), the machine at byte 18
  // (3: i386, 62: x86-64), as the manifest's arch says.
  const struct {
    const char* entry;
    char elfClass;
    char machine;
  } kLibraries[] = {{"libTavixfr64_3_0.so", 2, 62}, {"libTavixfr32_3_0.so", 1, 3}};
  for (const auto& library : kLibraries) {
    const std::string bytes = unzipped({"-p", zip, library.entry});
    ASSERT_GT(bytes.size(), 20u) << library.entry;
    EXPECT_EQ(bytes.substr(0, 4),
              "\x7f"
              "ELF")
        << library.entry;
    EXPECT_EQ(bytes[4], library.elfClass) << library.entry;
    EXPECT_EQ(bytes[18], library.machine) << library.entry;
  }
}

// The platform picks the library by the manifest's arch; a library in the wrong slot would fail
// only on the cashier's machine, so packing refuses it.
TEST_F(Package, RefusesALibraryInTheOtherArchitecturesPlace) {
  const std::string zip = scratch_.file("Tavixfr_3_0.zip");
  const Finished packed = pack(library32_, library64_, zip);
  EXPECT_NE(packed.exitCode, 0);
  // CMake folds its messages at any blank.
  std::string said;
  for (const char c : packed.err)
    if (c != ' ' && c != '\n') said += c;
  EXPECT_NE(said.find(library32_ + "isnotanx86-64ELFlibrary"), std::string::npos) << packed.err;
  EXPECT_NE(access(zip.c_str(), F_OK), 0) << "no package is left behind";
}

}  // namespace
}  // namespace console_test
