// The stand-in plug-in's instance: streams, frame playback, URL requests,
// ExternalInterface calls, the back channel, scripting, drawing and printing.
#include "tools/standin/StandInInstance.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "mac/platform/QuickDraw.h"
#include "tools/standin/ExternalScript.h"
#include "tools/standin/Painter.h"

namespace kw::standin {
namespace {

constexpr uint16_t kEventNull = 0;
constexpr uint16_t kEventUpdate = 6;
constexpr uint16_t kEventActivate = 8;
constexpr uint16_t kEventGetFocus = 31;
constexpr std::string_view kEventMethod = "zApplication.onEventSync";

std::string textOr(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

int16_t toInt16(uint16_t value) { return static_cast<int16_t>(std::min<uint16_t>(value, 32767)); }

// The scriptable object handed to the host: knows its instance until the
// instance goes away.
struct ScriptObject : NPObject {
  Instance* owner = nullptr;
};

NPObject* allocateScriptObject(NPP, NPClass*) { return new ScriptObject(); }
void deallocateScriptObject(NPObject* object) { delete static_cast<ScriptObject*>(object); }

bool scriptObjectHasMethod(NPObject* object, NPIdentifier name) {
  const Instance* owner = object != nullptr ? static_cast<ScriptObject*>(object)->owner : nullptr;
  return owner != nullptr && owner->hasEventMethod(name);
}

bool scriptObjectInvoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
                        NPVariant* result) {
  if (!scriptObjectHasMethod(object, name)) return false;
  if (result != nullptr) result->type = NPVariantType_Void;
  if (count >= 1 && args != nullptr && args[0].type == NPVariantType_String) {
    const NPString& text = args[0].value.stringValue;
    std::string xml;
    if (text.UTF8Characters != nullptr) xml.assign(text.UTF8Characters, text.UTF8Length);
    static_cast<ScriptObject*>(object)->owner->takeSyncEvent(std::move(xml));
  }
  return true;
}

NPClass gScriptClass = {1, allocateScriptObject, deallocateScriptObject, nullptr, scriptObjectHasMethod,
                        scriptObjectInvoke, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

Instance::Instance(NPP npp, const char* mimeType, uint16_t mode, int16_t argc, char* argn[], char* argv[])
    : npp_(npp) {
  report_.mimeType = textOr(mimeType);
  report_.mode = mode;
  report_.localSecurityDisabled = localSecurityDisabled();
  for (int16_t i = 0; argn != nullptr && argv != nullptr && i < argc; ++i) {
    report_.arguments.emplace_back(textOr(argn[i]), textOr(argv[i]));
    if (argn[i] != nullptr && argv[i] != nullptr && equalsIgnoringCase(argn[i], "wmode")) {
      transparent_ = std::string_view(argv[i]) == "transparent";
    }
  }
}

Instance::~Instance() {
  const NPNetscapeFuncs* funcs = browser();
  if (scriptable_ != nullptr) {
    static_cast<ScriptObject*>(scriptable_)->owner = nullptr;
    if (funcs != nullptr && funcs->releaseobject != nullptr) funcs->releaseobject(scriptable_);
  }
  if (windowObject_ != nullptr && funcs != nullptr && funcs->releaseobject != nullptr) {
    funcs->releaseobject(windowObject_);
  }
}

NPError Instance::setWindow(const NPWindow* window) {
  ReportedWindow seen;
  window_.reset();
  port_.reset();
  if (window != nullptr) {
    seen = {true, window->x, window->y, window->width, window->height, window->clipRect, window->type, false, 0, 0};
    window_ = *window;
    if (window->window != nullptr && window->type == NPWindowTypeWindow) {
      port_ = *static_cast<const NP_Port*>(window->window);
      seen.hasPort = true;
      seen.portx = port_->portx;
      seen.porty = port_->porty;
    } else if (window->window != nullptr && window->type == NPWindowTypeDrawable) {
      port_ = NP_Port{static_cast<CGrafPtr>(window->window), -window->x, -window->y};
    }
  }
  report_.windows.push_back(seen);
  return NPERR_NO_ERROR;
}

const Instance::Request* Instance::requestOf(void* notifyData) const {
  // Notify data is only ever compared: the host may hand back its own markers.
  for (const auto& request : requests_) {
    if (request.get() == notifyData) return request.get();
  }
  return nullptr;
}

Instance::Stream* Instance::streamOf(const NPStream* stream) {
  if (stream == nullptr) return nullptr;
  for (const auto& known : streams_) {
    if (known.get() == stream->pdata) return known.get();
  }
  return nullptr;
}

NPError Instance::newStream(const char* type, NPStream* stream, uint16_t* stype) {
  if (stream == nullptr) return NPERR_INVALID_PARAM;
  auto state = std::make_unique<Stream>();
  state->request = requestOf(stream->notifyData);
  if (state->request != nullptr && state->request == backChannelWaiting_) {
    state->role = Role::BackChannel;
  } else if (state->request != nullptr && !state->request->backChannel) {
    state->role = Role::Reply;
  } else if (state->request == nullptr && !movieStreamSeen_) {
    state->role = Role::Movie;
    movieStreamSeen_ = true;
  }
  state->reportIndex = report_.streams.size();
  report_.streams.push_back({textOr(stream->url), textOr(type), stream->end, stream->notifyData, {}, 0, false, 0});
  stream->pdata = state.get();
  streams_.push_back(std::move(state));
  if (stype != nullptr) *stype = NP_NORMAL;
  return NPERR_NO_ERROR;
}

int32_t Instance::writeReady(NPStream* stream) {
  // Any block size is taken; this only says that data is welcome.
  return streamOf(stream) != nullptr ? 64 * 1024 : 0;
}

int32_t Instance::write(NPStream* stream, int32_t /*offset*/, int32_t length, const void* buffer) {
  // Blocks are appended in arrival order: the host may give every block offset 0.
  Stream* state = streamOf(stream);
  if (state == nullptr) return -1;
  if (buffer == nullptr || length <= 0) return 0;
  ReportedStream& seen = report_.streams[state->reportIndex];
  if (seen.bytes.size() + static_cast<size_t>(length) > kMaxStreamBytes) return -1;
  seen.bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
  ++seen.writes;
  return length;
}

NPError Instance::destroyStream(NPStream* stream, NPReason reason) {
  Stream* state = streamOf(stream);
  if (state == nullptr) return NPERR_INVALID_PARAM;
  ReportedStream& seen = report_.streams[state->reportIndex];
  seen.destroyed = true;
  seen.reason = reason;
  switch (state->role) {
    case Role::Movie:
      finishMovie(seen.bytes);
      break;
    case Role::Reply:
      report_.replies.push_back({state->request->url, seen.bytes});
      break;
    case Role::BackChannel:
      // The request is answered; ask again with the next event, once the host
      // has finished with this stream.
      report_.backChannelMessages.push_back(seen.bytes);
      backChannelWaiting_ = nullptr;
      askBackChannelOnNextEvent_ = true;
      break;
    case Role::Other:
      break;
  }
  stream->pdata = nullptr;
  std::erase_if(streams_, [state](const auto& known) { return known.get() == state; });
  return NPERR_NO_ERROR;
}

void Instance::urlNotify(const char* url, NPReason reason, void* notifyData) {
  report_.notifications.push_back({textOr(url), reason, notifyData});
}

void Instance::finishMovie(const std::string& bytes) {
  report_.movieLoaded = true;
  movie_ = readMovie({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).movie;
  if (!movie_) return;
  report_.movieReadable = true;
  report_.movieActionScript3 = movie_->actionScript3;
  report_.movieFrames = static_cast<uint32_t>(movie_->frames.size());
  bool asksBackChannel = false;
  for (const FrameActions& frame : movie_->frames) {
    for (const GetURLAction& action : frame) asksBackChannel = asksBackChannel || action.url == kBackChannelUrl;
  }
  report_.movieHasWrapper = movie_->hasScriptLimits && asksBackChannel;
}

int16_t Instance::handleEvent(const NPEvent* event) {
  if (event == nullptr) return 0;
  const NPEvent record = *event;  // by value: the record's 32-bit fields may be misaligned
  report_.events.push_back({record.what, record.message, record.when, record.modifiers});
  if (inEvent_) return 0;
  inEvent_ = true;
  if (askBackChannelOnNextEvent_) askBackChannel();
  // The host makes up activate and focus events with a zero time; they do not
  // take part in frame timing.
  if (movie_ && record.what != kEventActivate && record.what != kEventGetFocus) playDueFrames(record.when);
  bool drew = false;
  if (record.what == kEventNull || record.what == kEventUpdate) {
    drew = window_.has_value() && port_.has_value() && port_->port != nullptr;
    paintWindow();
  }
  inEvent_ = false;
  return drew ? 1 : 0;
}

void Instance::playDueFrames(uint32_t when) {
  if (!clockStarted_) {
    clockStarted_ = true;
    lastWhen_ = when;
  }
  const auto step = static_cast<int32_t>(when - lastWhen_);
  if (step > 0) {
    elapsed_ = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{elapsed_} + static_cast<uint32_t>(step), UINT32_MAX));
    lastWhen_ = when;
  }
  if (movie_->frames.empty()) return;
  const auto lastFrame = static_cast<uint32_t>(movie_->frames.size() - 1);
  const uint32_t due = frameDue(elapsed_, movie_->frameRate, lastFrame);
  while (nextFrame_ <= due && nextFrame_ <= lastFrame) {
    const FrameActions actions = movie_->frames[nextFrame_];
    ++nextFrame_;
    report_.framesPlayed = nextFrame_;
    for (const GetURLAction& action : actions) runAction(action);
  }
}

void Instance::runAction(const GetURLAction& action) {
  const NPNetscapeFuncs* funcs = browser();
  if (funcs == nullptr) return;
  if (action.target == kExternalInterfaceTarget) {
    callExternalInterface(action.url);
    return;
  }
  if (action.url == kBackChannelUrl && report_.movieHasWrapper) {
    if (backChannelWaiting_ == nullptr) askBackChannel();
    return;
  }
  const char* target = action.target.empty() ? nullptr : action.target.c_str();
  ReportedRequest made{action.url, action.target, false, NPERR_GENERIC_ERROR};
  if (std::string_view(action.url).starts_with(kCommandPrefix)) {
    made.notify = true;
    requests_.push_back(std::make_unique<Request>(Request{action.url, false}));
    void* notifyData = requests_.back().get();
    if (funcs->geturlnotify != nullptr) made.result = funcs->geturlnotify(npp_, action.url.c_str(), target, notifyData);
  } else if (funcs->geturl != nullptr) {
    made.result = funcs->geturl(npp_, action.url.c_str(), target);
  }
  report_.requests.push_back(std::move(made));
}

void Instance::askBackChannel() {
  askBackChannelOnNextEvent_ = false;
  const NPNetscapeFuncs* funcs = browser();
  if (funcs == nullptr || funcs->geturlnotify == nullptr) return;
  requests_.push_back(std::make_unique<Request>(Request{std::string(kBackChannelUrl), true}));
  const Request* request = requests_.back().get();
  backChannelWaiting_ = request;
  ++report_.backChannelAsks;
  const std::string url(kBackChannelUrl);
  // The host may answer at once, from inside this call, with a queued message.
  const NPError result = funcs->geturlnotify(npp_, url.c_str(), nullptr, const_cast<Request*>(request));
  if (result != NPERR_NO_ERROR && backChannelWaiting_ == request) backChannelWaiting_ = nullptr;
  report_.requests.push_back({url, "", true, result});
}

void Instance::callExternalInterface(const std::string& url) {
  ReportedExternalCall call{url, externalInterfaceScript(url), false, {}};
  const NPNetscapeFuncs* funcs = browser();
  if (funcs != nullptr && funcs->evaluate != nullptr) {
    if (windowObject_ == nullptr && funcs->getvalue != nullptr) {
      NPObject* window = nullptr;
      if (funcs->getvalue(npp_, NPNVWindowNPObject, &window) == NPERR_NO_ERROR) windowObject_ = window;
    }
    NPString script{call.script.c_str(), static_cast<uint32_t>(call.script.size())};
    NPVariant result{};
    result.type = NPVariantType_Void;
    call.evaluated = funcs->evaluate(npp_, windowObject_, &script, &result);
    if (result.type == NPVariantType_String && result.value.stringValue.UTF8Characters != nullptr) {
      call.xml.assign(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length);
    }
    if (result.type != NPVariantType_Void && funcs->releasevariantvalue != nullptr) {
      funcs->releasevariantvalue(&result);
    }
  }
  report_.externalCalls.push_back(std::move(call));
}

void Instance::paintWindow() {
  if (!window_ || !port_ || port_->port == nullptr) return;
  const NPRect& clip = window_->clipRect;
  const PaintArea area{port_->portx, port_->porty, window_->width, window_->height,
                       QDRect{toInt16(clip.top), toInt16(clip.left), toInt16(clip.bottom), toInt16(clip.right)}};
  paint(*port_->port, area, {movie_ && movie_->background ? *movie_->background : 0xFFFFFF, transparent_, elapsed_});
  ++report_.paints;
}

void Instance::print(NPPrint* print) {
  if (print == nullptr) return;
  ReportedPrint printed;
  printed.mode = print->mode;
  if (print->mode == NP_EMBED) {
    const NPWindow& window = print->print.embedPrint.window;
    printed.window = window;
    if (window.window != nullptr && window.type == NPWindowTypeDrawable) {
      const NPRect& clip = window.clipRect;
      const PaintArea area{-window.x, -window.y, window.width, window.height,
                           QDRect{toInt16(clip.top), toInt16(clip.left), toInt16(clip.bottom), toInt16(clip.right)}};
      paint(*static_cast<CGrafPtr>(window.window), area,
            {movie_ && movie_->background ? *movie_->background : 0xFFFFFF, transparent_, elapsed_});
      printed.drew = true;
    }
  } else if (print->mode == NP_FULL) {
    print->print.fullPrint.pluginPrinted = 0;  // full-page printing is left to the host
  }
  report_.prints.push_back(printed);
}

NPError Instance::scriptableObject(void* value) {
  if (value == nullptr) return NPERR_INVALID_PARAM;
  const NPNetscapeFuncs* funcs = browser();
  if (funcs == nullptr || funcs->createobject == nullptr || funcs->retainobject == nullptr) {
    return NPERR_GENERIC_ERROR;
  }
  if (scriptable_ == nullptr) {
    scriptable_ = funcs->createobject(npp_, &gScriptClass);
    if (scriptable_ == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
    static_cast<ScriptObject*>(scriptable_)->owner = this;
  }
  // The caller gets its own reference, as the plug-in interface asks.
  *static_cast<NPObject**>(value) = funcs->retainobject(scriptable_);
  return NPERR_NO_ERROR;
}

bool Instance::hasEventMethod(NPIdentifier name) const {
  if (!movie_ || !movie_->actionScript3 || name == nullptr) return false;
  const NPNetscapeFuncs* funcs = browser();
  if (funcs == nullptr) return false;
  if (funcs->getstringidentifier != nullptr && funcs->getstringidentifier(std::string(kEventMethod).c_str()) == name) {
    return true;
  }
  if (funcs->utf8fromidentifier == nullptr) return false;
  NPUTF8* text = funcs->utf8fromidentifier(name);
  const bool same = text != nullptr && std::string_view(text) == kEventMethod;
  if (text != nullptr && funcs->memfree != nullptr) funcs->memfree(text);
  return same;
}

}  // namespace kw::standin
