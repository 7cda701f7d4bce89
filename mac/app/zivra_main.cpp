// zivra: plays a projector bundle (see ZivraApplication.h). The bundle is the
// one holding the program (Name.app/Contents/MacOS/zivra) or --bundle Name.app.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "mac/app/ZivraApplication.h"

namespace {

std::filesystem::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return "/";
}

}  // namespace

int main(int argc, char** argv) {
  std::error_code ignored;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ignored);
  const kw::ZivraCommandLine line = kw::parseZivraCommandLine(argc, argv, executable, homeFolder());
  if (line.help) {
    std::fputs(kw::kZivraUsage, stdout);
    return 0;
  }
  if (!line.options) {
    std::fprintf(stderr, "zivra: %s\n\n%s", line.error.c_str(), kw::kZivraUsage);
    return 2;
  }
  std::string error;
  auto application = kw::ZivraApplication::open(*line.options, error);
  if (!application) {
    std::fprintf(stderr, "zivra: %s\n", error.c_str());
    return 2;
  }
  const int status = application->run(error);
  if (status != 0) std::fprintf(stderr, "zivra: %s\n", error.c_str());
  return status;
}
