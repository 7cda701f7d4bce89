// One plug-in instance: creates it, gives it its window and port, delivers its
// movie (merged with the wrapper movie for ActionScript 1 and 2 movies), sends
// it events and messages, prints it and destroys it. A web page proxy is a
// FlashPlugin without a plug-in instance that stands for a web page window in
// the registry of instances.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mac/npapi/npapi.h"
#include "mac/platform/QuickDraw.h"
#include "mac/pluginhost/CommandQueue.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/Status.h"

namespace kw {

class PluginHost;
class LoadedCode;
struct PluginEntryPoints;

inline constexpr uint32_t kPluginSane = 0x53616E65;      // 'Sane': usable
inline constexpr uint32_t kPluginNuts = 0x4E757473;      // 'Nuts': destroyed
inline constexpr uint32_t kPluginTypeFlash = 0x666C7368; // 'flsh': a projector window
inline constexpr uint32_t kPluginTypeWeb = 0x77656258;   // 'webX': a web page proxy
inline constexpr size_t kMovieURLCapacity = 2047;        // characters kept of the movie URL

inline constexpr const char* kFlashMIMEType = "application/x-shockwave-flash";

class FlashPlugin {
 public:
  // initWithWrapper:
  FlashPlugin(PluginHost& host, bool pushWrapper);
  // Destroys the instance if that has not happened yet and tells the registry.
  ~FlashPlugin();
  FlashPlugin(const FlashPlugin&) = delete;
  FlashPlugin& operator=(const FlashPlugin&) = delete;

  struct InitializeArgs {
    GrafPort* port = nullptr;                       // the window's drawing port
    std::string movieURL;                           // absolute URL of the movie
    std::filesystem::path movieFile;                // the movie file ...
    const std::vector<uint8_t>* movieHandle = nullptr;  // ... or its bytes in memory
    const LoadedCode* plugin = nullptr;             // the plug-in bundle's code ...
    const PluginEntryPoints* entryPoints = nullptr; // ... or entry points given directly (tests)
    std::filesystem::path wrapperFile;              // "RidavOdarez.zve"
    QDRect portRect;
    PluginWindow* window = nullptr;
    int32_t windowType = 0;                         // window type code; 3 plays windowless
  };
  // initialize:URL:movieSpec:...: binds the plug-in and starts the instance.
  Status initialize(const InitializeArgs& args);

  // Fills the window and port records for a port rectangle.
  void setupWindowInfo(const QDRect& portRect);
  // Hands one event (nullptr: the host's null event at the current mouse
  // position and tick) to the instance with the port origin at the window
  // record's offsets, then refreshes the record from the port's bounds and
  // answers NPP_SetWindow's status.
  int16_t handlePluginEvent(EventRecord* event);
  // Renders the movie for printing; none without NPP_Print.
  std::unique_ptr<GrafPort> printedPluginBitmap();

  // The stored movie URL (at most 2047 characters).
  const char* getURLPtr() const { return m_urlData.c_str(); }

  // Sends one event message on the back channel, or queues it (-202).
  Status sendMessageToSWF(std::string_view message);
  // The same without the trace line: a queued message going out when the
  // movie asks for the next one was traced when it was sent.
  Status deliverMessage(std::string_view message);
  // Calls a method of the movie's scriptable object with one string argument.
  void sendSyncMessage(std::string_view method, std::string_view parameter, NPVariant* result);
  void sendSyncMessageWrap(std::string_view method, std::string_view parameter);
  // The command relay ("KW_Comm") of an ExternalInterface script.
  void SendCommmand(std::string_view script, NPVariant* result);

  // dealloc: NPP_Destroy, then the tag becomes 'Nuts'.
  void destroy();

  bool isSane() const { return sanityCheck == kPluginSane; }
  NPP instance() { return &m_plugInInstance; }
  PluginHost& host() { return host_; }

  // The instance's state, named as the host's design names it.
  CommandQueue m_commandQueue;
  bool m_shutdownCurrentPlugin = false;
  bool m_backChannelStreamReady = false;
  void* m_backChannelStreamNotifyData = nullptr;
  bool fOkToCache = true;
  std::filesystem::path fMovieSpec;     // the movie file
  PluginWindow* m_flashWindow = nullptr;
  uint32_t sanityCheck = kPluginSane;
  uint32_t fType = 0;
  NPP_t m_plugInInstance{};             // ndata points at this object once NPP_New succeeded
  NPWindow m_NPWindow{};
  NP_Port m_NPPort{};
  GrafPort* m_windowPort = nullptr;
  QDRect m_windowPortRect;
  std::string m_urlData;
  bool m_pushWrapper = false;

 private:
  PluginHost& host_;
};

// The host object of an instance as the plug-in hands it back (ndata), or
// nullptr when the instance carries none.
FlashPlugin* pluginOf(NPP instance);

}  // namespace kw
