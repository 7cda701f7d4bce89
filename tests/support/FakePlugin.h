// A fake plug-in for host tests: a table of static functions that record every
// call into the current FakePlugin and answer as configured.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mac/npapi/npapi.h"
#include "mac/platform/QuickDraw.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw::test {

class FakePlugin {
 public:
  // Becomes the current fake (one at a time); the destructor restores the previous one.
  FakePlugin();
  ~FakePlugin();
  FakePlugin(const FakePlugin&) = delete;
  FakePlugin& operator=(const FakePlugin&) = delete;
  static FakePlugin& current();

  // Entry points for PluginHost::bind.
  PluginEntryPoints entryPoints() const;
  // The table NP_GetEntryPoints hands out; null an entry to leave it out.
  NPPluginFuncs funcs{};

  // Answers.
  NPError newError = NPERR_NO_ERROR, setWindowError = NPERR_NO_ERROR, newStreamError = NPERR_NO_ERROR;
  int32_t writeReadyAnswer = 0x0FFFFFFF;
  std::optional<int32_t> writeAnswer;    // none: accept every byte
  std::vector<std::string> methodNames;  // the scriptable object's methods
  std::function<void(NPP, NPStream*, NPReason)> onDestroyStream;
  std::function<void(NPP)> onDestroy;
  std::function<void(NPPrint*)> onPrint;

  // Records.
  int writeCalls = 0, destroyCalls = 0;
  NPNetscapeFuncs* browser = nullptr;  // as NP_Initialize received it
  struct NewCall {
    std::string mimeType;
    uint16_t mode = 0;
    std::vector<std::pair<std::string, std::string>> args;
    NPP instance = nullptr;
  };
  std::vector<NewCall> newCalls;
  struct WindowCall {
    NPWindow window{};
    NP_Port port{};        // a copy of *window.window for a window (type 1)
    QDPoint portOrigin{};  // that port's origin during the call
  };
  std::vector<WindowCall> windowCalls;
  struct StreamCall {
    std::string type, url;
    uint32_t end = 0;
    void* notifyData = nullptr;
    bool destroyed = false;
    NPStream* stream = nullptr;
    std::vector<uint8_t> bytes;    // everything written
    std::vector<int32_t> offsets;  // the offset of each write
    int writeReadyCalls = 0;
    NPReason reason = -1;
    std::string text() const { return {bytes.begin(), bytes.end()}; }
  };
  std::vector<StreamCall> streams;
  StreamCall* streamFor(const NPStream* stream);  // the newest live record of a stream
  struct NotifyCall {
    std::string url;
    NPReason reason = 0;
    void* notifyData = nullptr;
  };
  std::vector<NotifyCall> urlNotifyCalls;
  struct EventCall {
    EventRecord event{};
    QDPoint portOrigin{};  // the last window's port origin during the call
  };
  std::vector<EventCall> eventCalls;
  struct PrintCall {
    NPPrint print{};
    QDRect portClip{};  // the drawable's clip during the call
  };
  std::vector<PrintCall> printCalls;
  std::vector<int> getValueCalls;
  struct InvokeCall {
    std::string method;
    std::vector<std::string> stringArgs;  // non-strings as ""
  };
  std::vector<InvokeCall> invokeCalls;

 private:
  friend struct FakePluginCalls;
  NPObject object_{};  // what GetValue(15) answers
  NPWindow lastWindow_{};
  FakePlugin* previous_ = nullptr;
};

}  // namespace kw::test
