// A fake plug-in for host tests: a function table of static functions that
// records every call into the current FakePlugin and answers as configured.
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
  // Becomes the current fake (one at a time); the destructor clears it.
  FakePlugin();
  ~FakePlugin();
  FakePlugin(const FakePlugin&) = delete;
  FakePlugin& operator=(const FakePlugin&) = delete;

  static FakePlugin& current();
  static bool exists();

  // Entry points to bind with PluginHost::bind. Set the flags first to leave
  // entry points out.
  bool withInitialize = true;
  bool withGetEntryPoints = true;
  bool withDisableLocalSecurity = false;
  PluginEntryPoints entryPoints() const;

  // The table NP_GetEntryPoints hands out; null an entry to leave the
  // function out (e.g. `funcs.newp = nullptr`).
  NPPluginFuncs funcs{};

  // Answers.
  NPError newError = NPERR_NO_ERROR;
  NPError setWindowError = NPERR_NO_ERROR;
  NPError newStreamError = NPERR_NO_ERROR;
  uint16_t newStreamType = NP_NORMAL;
  int32_t writeReadyAnswer = 0x0FFFFFFF;
  std::optional<int32_t> writeAnswer;  // none: accept every byte (answer the length)
  int16_t eventAnswer = 1;
  NPError destroyStreamError = NPERR_NO_ERROR;
  NPError getValueError = NPERR_NO_ERROR;
  std::vector<std::string> methodNames;  // the scriptable object's methods
  std::string invokeAnswer;              // a string result of every invoke
  bool invokeSucceeds = true;

  // Hooks run at the end of the recorded call (after recording).
  std::function<void(NPP)> onNew;
  std::function<void(NPP, NPStream*)> onNewStream;
  std::function<void(NPP, NPStream*)> onWrite;
  std::function<void(NPP, NPStream*, NPReason)> onDestroyStream;
  std::function<void(NPP, const EventRecord*)> onEvent;
  std::function<void(NPP)> onDestroy;

  // Records.
  int initializeCalls = 0;
  int getEntryPointsCalls = 0;
  int disableLocalSecurityCalls = 0;
  NPNetscapeFuncs* browser = nullptr;  // as NP_Initialize received it

  struct NewCall {
    std::string mimeType;
    uint16_t mode = 0;
    std::vector<std::pair<std::string, std::string>> args;  // name, value
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
    std::string type;
    std::string url;
    uint32_t end = 0;
    void* notifyData = nullptr;
    bool seekable = false;
    NPStream* stream = nullptr;
    std::vector<uint8_t> bytes;   // everything written
    std::vector<int32_t> offsets; // the offset of each write
    int writeReadyCalls = 0;
    bool destroyed = false;
    NPReason reason = -1;
  };
  std::vector<StreamCall> streams;
  int writeCalls = 0;
  // The newest live record of a stream, or nullptr.
  StreamCall* streamFor(const NPStream* stream);

  struct NotifyCall {
    std::string url;
    NPReason reason = 0;
    void* notifyData = nullptr;
  };
  std::vector<NotifyCall> urlNotifyCalls;

  struct EventCall {
    EventRecord event{};
    NPWindow window{};     // the last window record given, at the time of the call
    QDPoint portOrigin{};  // that window's port origin during the call
  };
  std::vector<EventCall> eventCalls;

  struct PrintCall {
    NPPrint print{};
    QDRect portClip{};  // the drawable's clip during the call
  };
  std::vector<PrintCall> printCalls;
  std::function<void(NPPrint*)> onPrint;

  std::vector<int> getValueCalls;

  struct InvokeCall {
    std::string method;
    std::vector<std::string> stringArgs;  // string arguments (others: "")
  };
  int hasMethodCalls = 0;
  std::vector<InvokeCall> invokeCalls;

  int destroyCalls = 0;
  NPP destroyedInstance = nullptr;

  // The scriptable object GetValue(15) answers (owned here).
  NPObject* scriptableObject() { return &object_; }

 private:
  NPObject object_{};

  friend struct FakePluginCalls;
  NPWindow lastWindow_{};
  FakePlugin* previous_ = nullptr;
};

}  // namespace kw::test
