// Recognises the ExternalInterface scripts through which a movie calls the host
// (KW_call, KW_call2, the KW_Comm relay, __flash_temp values) and builds the
// invoke document the host answers method invocations with. Pure text work:
// running the calls and dispatching relays is the plug-in host's job.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

enum class ScriptKind {
  Void,       // no script text: the result is the void value, evaluation succeeds
  Relay,      // "KW_Comm" relay: `request` holds the text for parseRelay
  ListCall,   // KW_call2 with an array: `request` holds the bracketed list form
  UrlCall,    // KW_call with a string: `request` holds the URL-form request
  FlashTemp,  // "var __flash_temp = ": `result` holds the string result
  Other,      // anything else (or a malformed call): the result is left untouched
};

struct ScriptRecognition {
  ScriptKind kind = ScriptKind::Other;
  // ListCall, UrlCall: the request to run at once as a synchronous call.
  // Relay: the script from "try { __flash__toXML(" on, for parseRelay.
  std::optional<std::string> request;
  // FlashTemp: the string the evaluation answers.
  std::optional<std::string> result;
};

// Classifies `script` (null: no script) and extracts what the host hands on.
ScriptRecognition recogniseScript(const char* script);

struct RelayCall {
  std::string method;        // "object.method", from the first two pieces
  int32_t target = 0;        // window identity of the target plug-in instance
  std::string argumentText;  // pieces 3 and up, each followed by ","
};

// Parses a relay script ("try { __flash__toXML(KW_Comm([" ... "])" + fixed tail).
// Logs "invalid command" and answers nullopt when the text is too short to
// hold the fixed head and tail or carries fewer than 4 pieces.
std::optional<RelayCall> parseRelay(std::string_view script);

// The JavaScript a relay runs in a web window: the argument text without its
// first 109 and last 28 characters; nullopt (nothing to run) when it is shorter.
std::optional<std::string_view> relayJavaScript(std::string_view argumentText);

// Answer to a method invocation on a host object. Each argument is a string or
// nullopt (any other kind of value, which is skipped). The first string names
// the method; the further strings are concatenated as the arguments.
std::string invokeDocument(const std::vector<std::optional<std::string_view>>& arguments);

}  // namespace kw
