// User, machine and network facts for the system commands, read from the
// system: the environment and the account database, the host name, the
// network interfaces under /sys, the routing table, the resolver, and the
// process table under /proc.
#include "mac/commands/families/SystemFacts.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "mac/platform/Bundle.h"

namespace kw {
namespace fs = std::filesystem;

namespace {

constexpr int kEthernetType = 1;  // ARPHRD_ETHER

std::optional<std::string> firstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return line;
}

std::optional<HardwareAddress> parseHardwareAddress(const std::string& text) {
  HardwareAddress address{};
  unsigned values[6] = {};
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &values[0], &values[1], &values[2], &values[3],
                  &values[4], &values[5], &tail) != 6) {
    return std::nullopt;
  }
  for (size_t i = 0; i < 6; ++i) address[i] = static_cast<uint8_t>(values[i]);
  return address;
}

// The interface's address when it is an Ethernet interface with a non-zero one.
std::optional<HardwareAddress> ethernetAddress(const fs::path& interfaces, const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return std::nullopt;
  const std::optional<std::string> type = firstLine(interfaces / name / "type");
  if (!type || std::atoi(type->c_str()) != kEthernetType) return std::nullopt;
  const std::optional<std::string> text = firstLine(interfaces / name / "address");
  if (!text) return std::nullopt;
  const std::optional<HardwareAddress> address = parseHardwareAddress(*text);
  if (!address || *address == HardwareAddress{}) return std::nullopt;
  return address;
}

// The interface of the first default route ("Iface Destination ..." lines, destination 00000000).
std::optional<std::string> defaultRouteInterface(const fs::path& routes) {
  std::ifstream in(routes);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name, destination;
    if (fields >> name >> destination && destination == "00000000") return name;
  }
  return std::nullopt;
}

std::string fileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

fs::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
  if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr) {
    return account->pw_dir;
  }
  return "/";
}

std::string userName() {
  const passwd* account = getpwuid(getuid());
  return account != nullptr && account->pw_name != nullptr ? account->pw_name : "";
}

std::string computerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

std::optional<fs::path> userTrashFilesFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
    return fs::path(data) / "Trash" / "files";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    return fs::path(home) / ".local" / "share" / "Trash" / "files";
  }
  return std::nullopt;
}

std::optional<std::string> specialFolder(int32_t code, const Bundle* application) {
  const fs::path home = homeFolder();
  switch (code) {
    case 1: return home.string();
    case 2: return (home / "Desktop").string();
    case 3: return (home / "Library").string();
    case 4: return (home / "Pictures").string();
    case 5: return (home / "Documents").string();
    case 6: return (home / "Library" / "Caches").string();
    case 7: return (home / "Library" / "Preferences").string();
    case 8: return (home / "Library" / "Screen Savers").string();
    case 9: return (home / "Applications").string();
    case 10: return std::string("/Applications");
    case 11:
    case 12:
      if (application == nullptr) return std::nullopt;
      return application->resourcesPath().string();
    case 13:
      if (application == nullptr) return std::nullopt;
      return application->bundlePath().parent_path().string();
    case 14: case 15: case 16: case 17:
      return std::string();
    case 18: {
      std::error_code ec;
      const fs::path temporary = fs::temp_directory_path(ec);
      return ec ? std::string("/tmp") : temporary.string();
    }
    case 19:
      if (const auto trash = userTrashFilesFolder()) return trash->string();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

HardwareAddress primaryHardwareAddress(const fs::path& interfaces, const fs::path& routes) {
  if (const std::optional<std::string> name = defaultRouteInterface(routes)) {
    if (const auto address = ethernetAddress(interfaces, *name)) return *address;
  }
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(interfaces, ec), end; !ec && it != end; it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (const auto address = ethernetAddress(interfaces, name)) return *address;
  }
  return {};
}

std::string formatHardwareAddress(const HardwareAddress& address) {
  std::string text;
  for (const uint8_t byte : address) {
    char digits[3] = {};
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(byte));
    text += digits;
  }
  return text;
}

std::optional<std::string> hostAddress(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  const addrinfo* chosen = found;
  for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
    if (each->ai_family == AF_INET) {
      chosen = each;
      break;
    }
  }
  char text[INET6_ADDRSTRLEN] = {};
  bool ok = false;
  if (chosen->ai_family == AF_INET) {
    sockaddr_in address{};
    std::copy_n(reinterpret_cast<const char*>(chosen->ai_addr), sizeof address, reinterpret_cast<char*>(&address));
    ok = inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) != nullptr;
  } else if (chosen->ai_family == AF_INET6) {
    sockaddr_in6 address{};
    std::copy_n(reinterpret_cast<const char*>(chosen->ai_addr), sizeof address, reinterpret_cast<char*>(&address));
    ok = inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof text) != nullptr;
  }
  freeaddrinfo(found);
  if (!ok) return std::nullopt;
  return std::string(text);
}

bool isHostReachable(const std::string& host) {
  if (host.empty() || host.find('\0') != std::string::npos) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), "80", &hints, &found) != 0 || found == nullptr) return false;
  // Connecting a datagram socket sends nothing: it only asks for a route.
  bool reachable = false;
  for (const addrinfo* each = found; each != nullptr && !reachable; each = each->ai_next) {
    const int socketHandle = socket(each->ai_family, each->ai_socktype | SOCK_CLOEXEC, each->ai_protocol);
    if (socketHandle < 0) continue;
    reachable = connect(socketHandle, each->ai_addr, each->ai_addrlen) == 0;
    close(socketHandle);
  }
  freeaddrinfo(found);
  return reachable;
}

std::vector<std::string> runningApplicationNames(const fs::path& proc) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(proc, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
      continue;
    }
    if (const auto comm = firstLine(it->path() / "comm"); comm && !comm->empty()) names.insert(*comm);
    // The command line's first argument, up to its NUL.
    std::ifstream cmdline(it->path() / "cmdline", std::ios::binary);
    std::string program;
    std::getline(cmdline, program, '\0');
    if (const std::string name = fileNameOf(program); !name.empty()) names.insert(name);
  }
  return {names.begin(), names.end()};
}

}  // namespace kw
