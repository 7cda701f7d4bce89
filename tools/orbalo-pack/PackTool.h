// orbalo-pack's commands: build a package behind a copy of the host, list a
// package as JSON lines, extract its files. Used by main() and by the tests.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo::pack {

// Runs the tool with its arguments (without the program name); returns the
// exit code: 0 success, 1 failure, 2 usage error.
int RunOrbaloPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A configuration value: decimal or 0x hex; true/false, yes/no, on/off;
// "WxH" of a known resolution for "resolution"; "#RRGGBB" for "colour"
// (stored as 0x00BBGGRR).
std::optional<uint32_t> ParseConfigValue(std::string_view field, std::string_view text);

// Applies one NAME=VALUE line (blank lines and '#' comments are fine); an
// error text when the line is not understood.
std::optional<std::string> ApplyConfigLine(ProjectorConfig& config, std::string_view line);

// The JSON line --list prints for one chain item.
std::string EntryJson(uint32_t id, uint32_t size, const uint8_t* head, size_t headLength);

}  // namespace kw::orbalo::pack
