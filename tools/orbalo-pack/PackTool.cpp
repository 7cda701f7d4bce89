// orbalo-pack's command line, configuration parsing, package building with an
// atomic output, and the --list / --extract commands over PackageReader.
#include "tools/orbalo-pack/PackTool.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>

#include "win/projector/package/PackageReader.h"
#include "win/projector/package/PackageWriter.h"
#include "win/projector/package/Placement.h"

namespace kw::orbalo::pack {

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: orbalo-pack --host orbalo.exe -o OUT.exe [--config FILE] [--set NAME=VALUE]...\n"
    "                   [--runtime ORBALORT.DLL] [--player PLAYER.exe] [--background|--intro|--outro PICTURE.jpg]\n"
    "                   [--extra FILE]... [--store]\n"
    "       orbalo-pack --list FILE\n"
    "       orbalo-pack --extract FILE DIR\n";

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::optional<uint32_t> ParseNumber(std::string_view text, int base) {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

void AppendJsonString(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

struct FileInput {
  uint32_t id;
  std::string path;
  std::string name;
};

struct BuildOptions {
  std::string host;
  std::string output;
  bool store = false;
  ProjectorConfig config;
  std::vector<FileInput> files;  // in package order after sorting by id
  std::vector<std::string> extras;
};

// Writes host + package to a temporary file beside `output`, then renames it.
bool WriteOutput(const BuildOptions& options, const std::vector<std::pair<FileInput, std::vector<uint8_t>>>& files,
                 std::ostream& err) {
  const auto host = ReadWholeFile(options.host);
  if (!host || host->empty()) {
    err << "orbalo-pack: cannot read host " << options.host << "\n";
    return false;
  }
  std::random_device random;
  const fs::path target(options.output);
  const fs::path temp = target.string() + ".tmp-" + std::to_string(random());
  std::FILE* out = std::fopen(temp.string().c_str(), "wb");
  if (out == nullptr) {
    err << "orbalo-pack: cannot write " << temp.string() << "\n";
    return false;
  }
  bool ok = std::fwrite(host->data(), 1, host->size(), out) == host->size();
  if (ok) {
    PackageWriter writer(out, host->size());
    writer.AddConfig(options.config);
    for (const auto& [input, data] : files) writer.AddFile(input.id, input.name, data, options.store);
    ok = writer.Finish();
  }
  ok = std::fclose(out) == 0 && ok;
  std::error_code error;
  if (ok) {
    fs::permissions(temp, fs::status(options.host, error).permissions(), error);
    fs::rename(temp, target, error);
    ok = !error;
  }
  if (!ok) {
    fs::remove(temp, error);
    err << "orbalo-pack: cannot write " << options.output << " (package too large or disk error)\n";
  }
  return ok;
}

int Build(BuildOptions& options, std::ostream& err) {
  if (options.host.empty() || options.output.empty()) {
    err << kUsage;
    return 2;
  }
  uint32_t nextExtra = kEntryFirstExtra;
  for (const std::string& extra : options.extras) options.files.push_back({nextExtra++, extra, {}});
  std::stable_sort(options.files.begin(), options.files.end(),
                   [](const FileInput& a, const FileInput& b) { return a.id < b.id; });

  std::vector<std::pair<FileInput, std::vector<uint8_t>>> files;
  for (FileInput& input : options.files) {
    if (input.name.empty()) input.name = fs::path(input.path).filename().string();
    if (input.name.empty() || input.name.size() >= kEntryNameSize || !IsSafeEntryName(input.name)) {
      err << "orbalo-pack: unusable entry name for " << input.path << " (at most 63 bytes)\n";
      return 1;
    }
    auto data = ReadWholeFile(input.path);
    if (!data) {
      err << "orbalo-pack: cannot read " << input.path << "\n";
      return 1;
    }
    files.emplace_back(input, std::move(*data));
  }
  // What was given decides the picture flags and the extra-file count.
  const auto given = [&](uint32_t id) {
    return std::any_of(files.begin(), files.end(), [id](const auto& file) { return file.first.id == id; });
  };
  options.config.hasBackground = given(kEntryBackground) ? 1 : 0;
  options.config.hasIntro = given(kEntryIntro) ? 1 : 0;
  options.config.hasOutro = given(kEntryOutro) ? 1 : 0;
  options.config.extraFileCount = static_cast<uint32_t>(options.extras.size());
  return WriteOutput(options, files, err) ? 0 : 1;
}

int List(const std::string& path, std::ostream& out, std::ostream& err) {
  PackageReader reader;
  if (!reader.Open(path, MissingPackage::kLeaveAlone)) {
    err << "orbalo-pack: no content package in " << path << "\n";
    return 1;
  }
  for (const auto& item : reader.Walk()) {
    out << EntryJson(item.record.id, item.record.size, item.head.data(), item.headLength) << "\n";
  }
  return 0;
}

int Extract(const std::string& path, const std::string& folder, std::ostream& err) {
  PackageReader reader;
  if (!reader.Open(path, MissingPackage::kLeaveAlone)) {
    err << "orbalo-pack: no content package in " << path << "\n";
    return 1;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  std::string prefix = folder;
  if (prefix.empty() || (prefix.back() != '/' && prefix.back() != '\\')) prefix += '/';
  int result = 0;
  std::set<uint32_t> seen;
  for (const auto& item : reader.Walk()) {
    const uint32_t id = item.record.id;
    if (id == kEntryConfig || !seen.insert(id).second) continue;  // the first of an id wins
    if (item.headLength < kEntryHeaderSize) {
      err << "orbalo-pack: entry " << id << " has no file header\n";
      result = 1;
      continue;
    }
    std::string name = DecodeHeader(item.head.data()).Name();
    if (IsSafeEntryName(name)) {
      std::replace(name.begin(), name.end(), '\\', '/');
      const fs::path parent = fs::path(prefix + name).parent_path();
      fs::create_directories(parent, error);
    }
    if (!reader.ExtractEntry(id, prefix)) {
      err << "orbalo-pack: entry " << id << " (" << name << ") not extracted\n";
      result = 1;
    }
  }
  return result;
}

}  // namespace

std::optional<uint32_t> ParseConfigValue(std::string_view field, std::string_view text) {
  text = Trim(text);
  const std::string lower = Lower(text);
  if (lower == "true" || lower == "yes" || lower == "on") return 1;
  if (lower == "false" || lower == "no" || lower == "off") return 0;
  if (field == "resolution") {
    for (uint32_t code = 0; ResolutionForCode(code); ++code) {
      const Size size = *ResolutionForCode(code);
      if (lower == std::to_string(size.width) + "x" + std::to_string(size.height)) return code;
    }
  }
  if (field == "colour" && text.size() == 7 && text[0] == '#') {
    const auto rgb = ParseNumber(text.substr(1), 16);
    if (!rgb) return std::nullopt;
    return (*rgb & 0xFF) << 16 | (*rgb & 0xFF00) | (*rgb >> 16 & 0xFF);  // RRGGBB -> 0x00BBGGRR
  }
  if (lower.size() > 2 && lower[0] == '0' && lower[1] == 'x') return ParseNumber(std::string_view(lower).substr(2), 16);
  if (!text.empty() && text[0] == '-') {
    // Signed positions (x, y) are stored as their 32-bit pattern.
    const auto magnitude = ParseNumber(text.substr(1), 10);
    if (!magnitude || *magnitude > 0x80000000u) return std::nullopt;
    return static_cast<uint32_t>(0u - *magnitude);
  }
  return ParseNumber(text, 10);
}

std::optional<std::string> ApplyConfigLine(ProjectorConfig& config, std::string_view line) {
  line = Trim(line);
  if (line.empty() || line[0] == '#') return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return "expected NAME=VALUE: " + std::string(line);
  const std::string name = Lower(Trim(line.substr(0, equals)));
  const auto index = ConfigFieldIndex(name);
  if (!index) return "unknown configuration field: " + name;
  const auto value = ParseConfigValue(name, line.substr(equals + 1));
  if (!value) return "bad value for " + name + ": " + std::string(Trim(line.substr(equals + 1)));
  config.Set(*index, *value);
  return std::nullopt;
}

std::string EntryJson(uint32_t id, uint32_t size, const uint8_t* head, size_t headLength) {
  std::string json = "{\"id\":" + std::to_string(id) + ",\"size\":" + std::to_string(size);
  if (id == kEntryConfig) {
    if (const auto config = ProjectorConfig::FromBytes(head, headLength)) {
      json += ",\"config\":{";
      for (size_t i = 0; i < kConfigFieldCount; ++i) {
        if (i > 0) json += ',';
        AppendJsonString(json, ConfigFieldName(i));
        json += ':' + std::to_string(config->Get(i));
      }
      json += '}';
    }
  } else if (headLength >= kEntryHeaderSize) {
    const EntryHeader header = DecodeHeader(head);
    json += ",\"compressed\":" + std::to_string(header.compressed != 0 ? 1 : 0);
    json += ",\"length\":" + std::to_string(header.fileLength);
    json += ",\"name\":";
    AppendJsonString(json, header.Name());
  }
  return json + "}";
}

int RunOrbaloPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << kUsage << "configuration fields for --set and --config (NAME=VALUE):";
    for (size_t i = 0; i < kConfigFieldCount; ++i) out << (i % 6 == 0 ? "\n   " : "") << ' ' << ConfigFieldName(i);
    out << '\n';
    return 0;
  }
  if (args[0] == "--list") {
    if (args.size() != 2) {
      err << kUsage;
      return 2;
    }
    return List(args[1], out, err);
  }
  if (args[0] == "--extract") {
    if (args.size() != 3) {
      err << kUsage;
      return 2;
    }
    return Extract(args[1], args[2], err);
  }

  BuildOptions options;
  std::vector<std::string> settings;
  const auto fileOption = [](std::string_view option) -> std::optional<uint32_t> {
    if (option == "--runtime") return kEntryRuntime;
    if (option == "--background") return kEntryBackground;
    if (option == "--intro") return kEntryIntro;
    if (option == "--outro") return kEntryOutro;
    if (option == "--player") return kEntryPlayer;
    return std::nullopt;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--store") {
      options.store = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      err << "orbalo-pack: " << option << " needs a value\n" << kUsage;
      return 2;
    }
    const std::string& value = args[++i];
    if (option == "--host") {
      options.host = value;
    } else if (option == "-o") {
      options.output = value;
    } else if (option == "--config") {
      std::ifstream in(value);
      if (!in) {
        err << "orbalo-pack: cannot read " << value << "\n";
        return 1;
      }
      for (std::string line; std::getline(in, line);) {
        if (auto problem = ApplyConfigLine(options.config, line)) {
          err << "orbalo-pack: " << value << ": " << *problem << "\n";
          return 2;
        }
      }
    } else if (option == "--set") {
      settings.push_back(value);
    } else if (option == "--extra") {
      options.extras.push_back(value);
    } else if (const auto id = fileOption(option)) {
      if (std::any_of(options.files.begin(), options.files.end(), [&](const FileInput& f) { return f.id == *id; })) {
        err << "orbalo-pack: " << option << " given twice\n";
        return 2;
      }
      options.files.push_back({*id, value, *id == kEntryRuntime ? kRuntimeLibraryName : ""});
    } else {
      err << "orbalo-pack: unknown option " << option << "\n" << kUsage;
      return 2;
    }
  }
  // --set wins over --config whatever the order on the command line.
  for (const std::string& setting : settings) {
    if (auto problem = ApplyConfigLine(options.config, setting)) {
      err << "orbalo-pack: " << *problem << "\n";
      return 2;
    }
  }
  return Build(options, err);
}

}  // namespace kw::orbalo::pack
