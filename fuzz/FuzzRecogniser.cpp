// libFuzzer target: the ExternalInterface script recogniser and the relay
// parser over arbitrary script texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mac/commands/ScriptRecogniser.h"
#include "mac/platform/SystemLog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);  // NUL-terminated copy
  kw::ScopedLogCapture log;  // keeps "invalid command" lines out of the fuzzer's output

  const kw::ScriptRecognition recognition = kw::recogniseScript(script.c_str());
  if (recognition.kind == kw::ScriptKind::Relay && recognition.request) {
    if (const auto call = kw::parseRelay(*recognition.request)) kw::relayJavaScript(call->argumentText);
  }
  // The relay parser on its own sees every text, not only recognised relays.
  if (const auto call = kw::parseRelay(script)) kw::relayJavaScript(call->argumentText);
  kw::invokeDocument({script, std::nullopt, recognition.request});
  return 0;
}
