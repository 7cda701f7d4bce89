// swfinfo: prints what the movie header probe finds in each given movie file,
// one line of JSON per file.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "mac/windows/MovieHeaderProbe.h"

namespace {

constexpr const char* kUsage =
    "usage: swfinfo FILE...\n"
    "\n"
    "Probes the header of each movie file (plain FWS, compressed CWS or enciphered)\n"
    "and prints one line of JSON per file, in the order given:\n"
    "  {\"status\":0,\"signature\":\"FWS\",\"version\":10,\"top\":0,\"left\":0,\"bottom\":400,\n"
    "   \"right\":550,\"frameRate\":12,\"frameCount\":1,\"backgroundColor\":16777215,\"as3\":false}\n"
    "status     0, or the probe's error status (-1 not a movie, -36 read error,\n"
    "           -39 too short, -43 not found, or a zlib error)\n"
    "signature  the first three bytes after deciphering (\"FWS\" or \"CWS\" for a movie\n"
    "           stored enciphered too); null when the file could not be read\n"
    "backgroundColor  0xRRGGBB as a number, or null when no SetBackgroundColor tag\n"
    "           starts right behind the header\n"
    "as3        true when the movie carries ActionScript 3 code\n"
    "The other fields are 0 (false, null) when the status is not 0.\n"
    "Exit status: 0 when every file was probed, 1 when any failed, 2 on wrong usage.\n";

// A JSON string; bytes outside printable ASCII become \u00XX (read as Latin-1).
std::string jsonString(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(byte));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonLine(const kw::MovieHeaderInfo& info) {
  const bool ok = info.status == kw::kStatusOK;
  const bool unreadable = info.status == kw::kProbeFileNotFound || info.status == kw::kProbeReadError;
  auto number = [ok](long long value) { return std::to_string(ok ? value : 0); };
  std::string line = "{\"status\":" + std::to_string(info.status);
  line += ",\"signature\":" + (unreadable ? std::string("null") : jsonString(info.signature));
  line += ",\"version\":" + number(info.version);
  line += ",\"top\":" + number(info.rect.top);
  line += ",\"left\":" + number(info.rect.left);
  line += ",\"bottom\":" + number(info.rect.bottom);
  line += ",\"right\":" + number(info.rect.right);
  line += ",\"frameRate\":" + number(info.frameRate);
  line += ",\"frameCount\":" + number(info.frameCount);
  line += ",\"backgroundColor\":" +
          (ok && info.backgroundColor ? std::to_string(*info.backgroundColor) : std::string("null"));
  line += std::string(",\"as3\":") + (ok && info.actionScript3 ? "true" : "false") + "}";
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  int exitStatus = 0;
  for (int i = 1; i < argc; ++i) {
    const kw::MovieHeaderInfo info = kw::probeMovieHeader(std::filesystem::path(argv[i]));
    std::printf("%s\n", jsonLine(info).c_str());
    if (info.status != kw::kStatusOK) exitStatus = 1;
  }
  return std::fflush(stdout) == 0 ? exitStatus : 1;
}
