// kwcmd: runs the command bridge's text logic from the command line, for
// checking it from outside. Parses requests into request records, recognises
// ExternalInterface scripts, and prints list and event encodings.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/CommandParser.h"
#include "mac/commands/EventEncoding.h"
#include "mac/commands/ListEncoding.h"
#include "mac/commands/RequestReaders.h"
#include "mac/commands/ScriptRecogniser.h"
#include "mac/commands/TextBytes.h"

namespace {

constexpr const char* kUsage =
    "usage: kwcmd parse [--sync] [--list] [--mouse H,V] [--ftp-status N] TEXT\n"
    "       kwcmd eval SCRIPT\n"
    "       kwcmd encode tilde|xml ITEM...\n"
    "       kwcmd event text|xml ITEM...\n"
    "\n"
    "parse   runs the command parser on TEXT (URL form: the whole \"KW://KW_...\"\n"
    "        text; list form with --list: the bracketed text) and prints the\n"
    "        request record as one line of JSON. --mouse gives the mouse position\n"
    "        that getMousePosition reads (default 0,0); --ftp-status the status\n"
    "        the FTP start of simpleGet / simplePut answers (default 0).\n"
    "eval    runs the ExternalInterface script recogniser and prints\n"
    "        {\"kind\", \"request\", \"result\"}.\n"
    "encode  prints ITEMs as a tilde list or as an XML list.\n"
    "event   prints ITEMs as an event text or as event XML.\n";

// The tick count the parser's record starts at; only differences are printed.
constexpr uint32_t kStartTicks = 1000;

// Appends `text` as a JSON string. Bytes that do not form valid UTF-8 are
// written as the code points of the same value, so the line stays valid JSON.
void appendJSONString(std::string& out, std::string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      const size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      const bool valid = length != 0 && i + length <= text.size() && kw::isValidUTF8(text.substr(i, length));
      if (valid) {
        out.append(text.substr(i, length));
        i += length - 1;
      } else {
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        out += escape;
      }
    }
  }
  out += '"';
}

class JSONLine {
 public:
  void key(std::string_view name) {
    out_ += first_ ? "{" : ",";
    first_ = false;
    appendJSONString(out_, name);
    out_ += ':';
  }
  void number(std::string_view name, long long value) {
    key(name);
    out_ += std::to_string(value);
  }
  void boolean(std::string_view name, bool value) {
    key(name);
    out_ += value ? "true" : "false";
  }
  void string(std::string_view name, const std::optional<std::string>& value) {
    key(name);
    if (value) {
      appendJSONString(out_, *value);
    } else {
      out_ += "null";
    }
  }
  void print() {
    out_ += first_ ? "{}" : "}";
    std::printf("%s\n", out_.c_str());
  }

 private:
  std::string out_;
  bool first_ = true;
};

class ToolServices : public kw::ParserServices {
 public:
  kw::MousePoint mouse;
  kw::Status ftpStatus = 0;
  kw::MousePoint currentMousePosition() override { return mouse; }
  kw::Status startFTPTransfer(kw::CocoaInterfaceData&) override { return ftpStatus; }
};

int parse(const std::vector<std::string_view>& args) {
  bool sync = false;
  bool list = false;
  ToolServices services;
  std::optional<std::string_view> text;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sync") {
      sync = true;
    } else if (args[i] == "--list") {
      list = true;
    } else if (args[i] == "--mouse" && i + 1 < args.size()) {
      const std::string_view value = args[++i];
      const size_t comma = value.find(',');
      if (comma == std::string_view::npos) return 2;
      services.mouse = {kw::leadingInteger(value.substr(0, comma)), kw::leadingInteger(value.substr(comma + 1))};
    } else if (args[i] == "--ftp-status" && i + 1 < args.size()) {
      services.ftpStatus = static_cast<kw::Status>(kw::leadingInteger(args[++i]));
    } else if (!text) {
      text = args[i];
    } else {
      return 2;
    }
  }
  if (!text) return 2;

  // The runner hands the parser the text behind the 8-character prefix of
  // the URL form, and the whole text of the list form.
  std::string_view request = *text;
  if (!list) {
    if (request.size() < 8 || (request.substr(0, 8) != "KW://KW_" && request.substr(0, 8) != "KW://SS_")) {
      std::fprintf(stderr, "kwcmd: a URL-form request begins with \"KW://KW_\" or \"KW://SS_\"\n");
      return 2;
    }
    request.remove_prefix(8);
  }

  auto record = kw::CocoaInterfaceData::create(kStartTicks, nullptr, {});
  const kw::Status status = kw::parseCommand(request, record.get(), sync, list, services);
  const kw::CocoaInterfaceData& r = *record;

  JSONLine json;
  json.number("status", status);
  json.number("functionNumber", r.functionNumber);
  json.number("windowID", r.windowID);
  json.boolean("listForm", r.listForm != 0);
  json.boolean("synchronous", r.synchronous != 0);
  json.boolean("resultIsText", r.resultIsText != 0);
  json.boolean("resultIsBoolean", r.resultIsBoolean != 0);
  json.boolean("resultIsNumber", r.resultIsNumber != 0);
  json.boolean("resultIsPoint", r.resultIsPoint != 0);
  json.boolean("resultIsString", r.resultIsString != 0);
  json.boolean("completed", r.completed != 0);
  json.number("deadline", r.deadlineTicks == 0 ? 0 : static_cast<long long>(r.deadlineTicks - r.startTicks));
  const std::optional<std::string>* strings[] = {&r.stringParam1, &r.stringParam2, &r.stringParam3,
                                                 &r.stringParam4, &r.stringParam5, &r.stringParam6};
  for (int i = 0; i < 6; ++i) json.string("stringParam" + std::to_string(i + 1), *strings[i]);
  const int32_t ints[] = {r.intParam1, r.intParam2, r.intParam3, r.intParam4};
  for (int i = 0; i < 4; ++i) json.number("intParam" + std::to_string(i + 1), ints[i]);
  const uint8_t bools[] = {r.boolParam1, r.boolParam2, r.boolParam3};
  for (int i = 0; i < 3; ++i) json.boolean("boolParam" + std::to_string(i + 1), bools[i] != 0);
  json.print();
  return 0;
}

const char* kindName(kw::ScriptKind kind) {
  switch (kind) {
    case kw::ScriptKind::Void: return "void";
    case kw::ScriptKind::Relay: return "relay";
    case kw::ScriptKind::ListCall: return "list";
    case kw::ScriptKind::UrlCall: return "call";
    case kw::ScriptKind::FlashTemp: return "flash_temp";
    case kw::ScriptKind::Other: return "other";
  }
  return "other";
}

int eval(const std::vector<std::string_view>& args) {
  if (args.size() != 1) return 2;
  const std::string script(args[0]);
  const kw::ScriptRecognition recognition = kw::recogniseScript(script.c_str());
  JSONLine json;
  json.string("kind", std::string(kindName(recognition.kind)));
  json.string("request", recognition.request);
  json.string("result", recognition.result);
  json.print();
  return 0;
}

int encode(const std::vector<std::string_view>& args) {
  if (args.empty()) return 2;
  const std::vector<std::string> items(args.begin() + 1, args.end());
  if (args[0] == "tilde") {
    std::printf("%s\n", kw::tildeList(std::vector<kw::ListElement>(items.begin(), items.end())).c_str());
  } else if (args[0] == "xml") {
    std::printf("%s\n", kw::arrayOfStringsToXmlStringList(items).c_str());
  } else {
    return 2;
  }
  return 0;
}

int event(const std::vector<std::string_view>& args) {
  if (args.empty()) return 2;
  const std::vector<std::string> items(args.begin() + 1, args.end());
  if (args[0] == "text") {
    std::printf("%s\n", kw::eventText(std::vector<kw::EventItem>(items.begin(), items.end())).c_str());
  } else if (args[0] == "xml") {
    std::printf("%s\n", kw::eventXML(items).c_str());
  } else {
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  const std::vector<std::string_view> args(argv + 2, argv + argc);
  int result = 2;
  if (command == "parse") {
    result = parse(args);
  } else if (command == "eval") {
    result = eval(args);
  } else if (command == "encode") {
    result = encode(args);
  } else if (command == "event") {
    result = event(args);
  } else if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (result == 2) std::fputs(kUsage, stderr);
  return result;
}
