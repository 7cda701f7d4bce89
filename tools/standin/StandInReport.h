// What the stand-in plug-in received and did, per instance, as read through its
// exported test hook StandIn_Report(NPP). Shared by the plug-in and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mac/npapi/npapi.h"

namespace kw::standin {

struct ReportedStream {
  std::string url;
  std::string mimeType;      // the type argument of NPP_NewStream (a request URL for command replies)
  uint32_t end = 0;
  void* notifyData = nullptr;
  std::string bytes;         // everything written to it
  uint32_t writes = 0;       // NPP_Write calls
  bool destroyed = false;
  NPReason reason = 0;       // the destroy reason
};

struct ReportedNotify {
  std::string url;
  NPReason reason = 0;
  void* notifyData = nullptr;
};

struct ReportedEvent {
  uint16_t what = 0;
  uint32_t message = 0;
  uint32_t when = 0;
  uint16_t modifiers = 0;
};

struct ReportedWindow {
  bool present = false;      // false for NPP_SetWindow with no window
  int32_t x = 0, y = 0;
  uint32_t width = 0, height = 0;
  NPRect clipRect{};
  int type = 0;
  bool hasPort = false;      // a window record with an NP_Port
  int32_t portx = 0, porty = 0;
};

// A URL request the plug-in made through the browser.
struct ReportedRequest {
  std::string url;
  std::string target;
  bool notify = false;       // NPN_GetURLNotify rather than NPN_GetURL
  NPError result = 0;
};

struct ReportedReply {
  std::string requestUrl;
  std::string variables;     // the reply stream's text: the loaded variables
};

struct ReportedExternalCall {
  std::string url;           // the getURL's URL (list or URL form)
  std::string script;        // the text given to NPN_Evaluate
  bool evaluated = false;    // NPN_Evaluate answered true
  std::string xml;           // the string result, empty otherwise
};

struct ReportedPrint {
  uint16_t mode = 0;
  NPWindow window{};         // embedded print: the window it drew into
  bool drew = false;
};

struct StandInReport {
  std::string mimeType;
  uint16_t mode = 0;
  std::vector<std::pair<std::string, std::string>> arguments;  // embed arguments in order
  bool localSecurityDisabled = false;  // Flash_DisableLocalSecurity was called in this process

  // The movie as read when its stream ended.
  bool movieLoaded = false;
  bool movieReadable = false;
  bool movieHasWrapper = false;        // ScriptLimits and the back channel getURL
  bool movieActionScript3 = false;
  uint32_t movieFrames = 0;
  uint32_t framesPlayed = 0;           // frames whose actions have run
  uint32_t paints = 0;                 // window paints (update and null events)

  std::vector<ReportedStream> streams;
  std::vector<ReportedNotify> notifications;  // NPP_URLNotify calls
  std::vector<ReportedEvent> events;
  std::vector<ReportedWindow> windows;        // NPP_SetWindow calls
  std::vector<ReportedRequest> requests;      // NPN_GetURL / NPN_GetURLNotify calls
  uint32_t backChannelAsks = 0;               // requests of the back channel URL
  std::vector<std::string> backChannelMessages;
  std::vector<ReportedReply> replies;
  std::vector<ReportedExternalCall> externalCalls;
  std::vector<std::string> syncEvents;        // XML given to zApplication.onEventSync
  std::vector<ReportedPrint> prints;
};

}  // namespace kw::standin

extern "C" {
// The report of a live instance of the stand-in, or null for an instance it
// does not know.
typedef const kw::standin::StandInReport* (*StandIn_ReportFuncPtr)(NPP instance);
}
