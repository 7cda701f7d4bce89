// Facts about the user, the machine and its network that the system commands
// report: the home folder and its standard folders, the user's and the
// computer's names, the primary network interface's hardware address, name
// resolution and reachability, and the names of the running applications.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kw {

class Bundle;

// $HOME when it is absolute, else the home folder of the user's account.
std::filesystem::path homeFolder();
// The user's short (login) name; "" when the account is unknown.
std::string userName();
// The computer's network name.
std::string computerName();

// getSpecialFolder: the folder for a code (see the table in the .cpp); none
// for codes outside the table. Nothing is created.
std::optional<std::string> specialFolder(int32_t code, const Bundle* application);
// The folder that holds the user's trashed items (not created).
std::optional<std::filesystem::path> userTrashFilesFolder();

using HardwareAddress = std::array<uint8_t, 6>;
// The hardware address of the primary Ethernet interface: the interface of
// the default route when it is an Ethernet one, else the first Ethernet
// interface by name with a non-zero address; six zero bytes when none.
// The folders are parameters so that tests can give a made-up system.
HardwareAddress primaryHardwareAddress(const std::filesystem::path& interfaces = "/sys/class/net",
                                       const std::filesystem::path& routes = "/proc/net/route");
// Each byte with "%X", run together ("0A" gives "A", "00" gives "0").
std::string formatHardwareAddress(const HardwareAddress& address);

// The first address the name resolves to (IPv4 preferred), as text.
std::optional<std::string> hostAddress(const std::string& name);
// The host resolves and the system has a route to it.
bool isHostReachable(const std::string& host);

// The names of the running processes (the command name and the program file
// name of each), from the process table under `proc`.
std::vector<std::string> runningApplicationNames(const std::filesystem::path& proc = "/proc");

}  // namespace kw
