// One instance of the stand-in plug-in: takes the movie stream, plays the
// movie's getURL actions frame by frame, keeps the back channel open, draws
// into its port and records everything in its report.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/npapi/npapi.h"
#include "tools/standin/MovieReader.h"
#include "tools/standin/StandInReport.h"

namespace kw::standin {

// The browser functions the host handed over in NP_Initialize (null before).
const NPNetscapeFuncs* browser();
// Fills the plug-in function table (NP_GetEntryPoints).
NPError fillEntryPoints(NPPluginFuncs* funcs);
// Whether the host called Flash_DisableLocalSecurity in this process.
bool localSecurityDisabled();

// The most bytes one stream may carry; a write beyond is refused.
inline constexpr size_t kMaxStreamBytes = size_t{64} << 20;

class Instance {
 public:
  Instance(NPP npp, const char* mimeType, uint16_t mode, int16_t argc, char* argn[], char* argv[]);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  NPError setWindow(const NPWindow* window);
  NPError newStream(const char* type, NPStream* stream, uint16_t* stype);
  int32_t writeReady(NPStream* stream);
  int32_t write(NPStream* stream, int32_t offset, int32_t length, const void* buffer);
  NPError destroyStream(NPStream* stream, NPReason reason);
  void urlNotify(const char* url, NPReason reason, void* notifyData);
  int16_t handleEvent(const NPEvent* event);
  void print(NPPrint* print);
  NPError scriptableObject(void* value);

  // Called by the scriptable object.
  bool hasEventMethod(NPIdentifier name) const;
  void takeSyncEvent(std::string xml) { report_.syncEvents.push_back(std::move(xml)); }

  const StandInReport& report() const { return report_; }

 private:
  // A request made with notification; its address is the notify data.
  struct Request {
    std::string url;
    bool backChannel = false;
  };
  enum class Role { Movie, Reply, BackChannel, Other };
  struct Stream {
    Role role = Role::Other;
    const Request* request = nullptr;
    size_t reportIndex = 0;
  };

  Stream* streamOf(const NPStream* stream);
  const Request* requestOf(void* notifyData) const;
  void finishMovie(const std::string& bytes);
  void playDueFrames(uint32_t when);
  void runAction(const GetURLAction& action);
  void askBackChannel();
  void callExternalInterface(const std::string& url);
  void paintWindow();

  NPP npp_;
  StandInReport report_;
  bool transparent_ = false;

  std::vector<std::unique_ptr<Request>> requests_;
  std::vector<std::unique_ptr<Stream>> streams_;
  std::optional<Movie> movie_;
  bool movieStreamSeen_ = false;

  bool clockStarted_ = false;            // a timed event has arrived since the movie loaded
  uint32_t lastWhen_ = 0;
  uint32_t elapsed_ = 0;                 // ticks since the first timed event, never running back
  uint32_t nextFrame_ = 0;               // the first frame whose actions have not run
  bool inEvent_ = false;

  const Request* backChannelWaiting_ = nullptr;  // the open back channel request
  bool askBackChannelOnNextEvent_ = false;

  std::optional<NPWindow> window_;
  std::optional<NP_Port> port_;
  NPObject* scriptable_ = nullptr;
  NPObject* windowObject_ = nullptr;
};

}  // namespace kw::standin
