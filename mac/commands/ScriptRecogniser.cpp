// ExternalInterface script recogniser, relay parser and invoke document:
// see ScriptRecogniser.h.
#include "mac/commands/ScriptRecogniser.h"

#include "mac/commands/RequestReaders.h"
#include "mac/commands/TextBytes.h"
#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

constexpr std::string_view kToXML = "try { __flash__toXML(";
constexpr std::string_view kRelayHead = "try { __flash__toXML(KW_Comm";
constexpr std::string_view kListCallHead = "try { __flash__toXML(KW_call2([";
constexpr std::string_view kCallName = "KW_call";
constexpr std::string_view kFlashTemp = "var __flash_temp = ";

// The plug-in wraps every call as kToXML + call + ")) ; } catch (e) { ... }".
// These cuts keep the argument list: the list call keeps its brackets, the
// relay loses them.
constexpr size_t kListCallHeadCut = 30;
constexpr size_t kListCallTailCut = 36;
constexpr size_t kRelayHeadCut = 30;
constexpr size_t kRelayTailCut = 37;
constexpr size_t kFlashTempHeadCut = 20;
constexpr size_t kFlashTempTailCut = 17;
constexpr size_t kRelayScriptHeadCut = 109;
constexpr size_t kRelayScriptTailCut = 28;

// `text` without its first `head` and last `tail` characters; nullopt when it
// is too short to lose both.
std::optional<std::string_view> cut(std::string_view text, size_t head, size_t tail) {
  if (text.size() < head + tail) return std::nullopt;
  return text.substr(head, text.size() - head - tail);
}

// Every backslash-quote pair becomes a plain double quote.
std::string unescapeQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// One double quote removed at each end where there is one. Only one, so that
// an argument ending in an escaped quote (\"") keeps it, and each end on its
// own, so that a string the comma split cut in two ("a and b") is whole again
// in the argument text.
std::string_view trimEndQuotes(std::string_view text) {
  if (text.starts_with('"')) text.remove_prefix(1);
  if (text.ends_with('"')) text.remove_suffix(1);
  return text;
}

// KW_call("request"): the text between the opening quote and the next quote.
ScriptRecognition recogniseUrlCall(std::string_view call) {
  const size_t paren = call.find('(');
  if (paren == std::string_view::npos || !call.substr(0, paren).starts_with(kCallName)) return {};
  const size_t argumentStart = paren + 2;
  if (argumentStart > call.size() || call[paren + 1] != '"') return {};
  const size_t closingQuote = call.find('"', argumentStart);
  if (closingQuote == std::string_view::npos) return {};
  return {ScriptKind::UrlCall, std::string(call.substr(argumentStart, closingQuote - argumentStart)),
          std::nullopt};
}

}  // namespace

ScriptRecognition recogniseScript(const char* script) {
  if (script == nullptr) return {ScriptKind::Void, std::nullopt, std::nullopt};
  const std::string_view text(script);

  const size_t at = text.find(kToXML);
  if (at != std::string_view::npos) {
    const std::string_view call = text.substr(at);
    if (call.starts_with(kRelayHead)) return {ScriptKind::Relay, std::string(call), std::nullopt};
    if (call.starts_with(kListCallHead)) {
      const auto list = cut(call, kListCallHeadCut, kListCallTailCut);
      if (!list) return {};
      return {ScriptKind::ListCall, unescapeQuotes(*list), std::nullopt};
    }
    return recogniseUrlCall(call.substr(kToXML.size()));
  }

  if (containsString(text, kFlashTemp, true)) {
    const auto value = cut(text, kFlashTempHeadCut, kFlashTempTailCut);
    if (!value) return {};
    return {ScriptKind::FlashTemp, std::nullopt, unescapeQuotes(*value)};
  }
  return {};
}

std::optional<RelayCall> parseRelay(std::string_view script) {
  std::vector<std::string_view> pieces;
  if (const auto body = cut(script, kRelayHeadCut, kRelayTailCut)) {
    for (size_t start = 0;;) {
      const size_t comma = body->find(',', start);
      pieces.push_back(body->substr(start, comma - start));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  if (pieces.size() < 4) {
    systemLog("invalid command");
    return std::nullopt;
  }

  RelayCall call;
  call.method.append(trimEndQuotes(pieces[0])).append(".").append(trimEndQuotes(pieces[1]));
  call.target = leadingInteger(pieces[2]);
  std::string arguments;
  for (size_t p = 3; p < pieces.size(); ++p) arguments.append(trimEndQuotes(pieces[p])).append(",");
  call.argumentText = unescapeQuotes(arguments);
  return call;
}

std::optional<std::string_view> relayJavaScript(std::string_view argumentText) {
  return cut(argumentText, kRelayScriptHeadCut, kRelayScriptTailCut);
}

std::string invokeDocument(const std::vector<std::optional<std::string_view>>& arguments) {
  std::optional<std::string_view> name;
  std::string joined;
  for (const auto& argument : arguments) {
    if (!argument) continue;
    if (!name) {
      name = argument;
    } else {
      joined.append(*argument);
    }
  }
  std::string out = "<invoke name=\"";
  out.append(name.value_or("undefined"));
  out.append("\" returntype=\"javascript\"><arguments>");
  out.append(joined);
  out.append("</arguments></invoke>");
  return out;
}

}  // namespace kw
