// The command handler of one movie view: takes a dispatched request record,
// runs the command its function ID names, and leaves the result in the record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/commands/CocoaInterfaceData.h"

namespace kw {

class Bundle;
class FlashPlugin;
class Menu;  // the view's context menu (menus live with the windows)
class PluginHost;
class PluginWindow;
class KW_Commands;

// The application controller's enableCaching:: sets the caching flag of every
// registered projector instance (the registry of instances implements it).
class InstanceCaching {
 public:
  virtual ~InstanceCaching() = default;
  virtual void enableCaching(bool enable) = 0;
};

// The command families that plug into the dispatcher. Each function ID of the
// dispatch table that the handler does not run itself belongs to exactly one.
enum class CommandFamilyKind : uint8_t { Menu, System, Window, File, Network };
inline constexpr size_t kCommandFamilyCount = 5;

// The family that runs `functionNumber`, or none for the IDs the handler runs
// itself, the IDs that do nothing and the IDs outside the dispatch table.
std::optional<CommandFamilyKind> commandFamilyOf(int32_t functionNumber);

// The arguments of one doZFunction call, as a family sees them.
struct ZFunctionCall {
  KW_Commands& handler;
  PluginWindow* window = nullptr;  // the window of the view that received the record
  const Bundle* bundle = nullptr;
  Menu* menu = nullptr;            // the view's context menu
  uint8_t* dragging = nullptr;     // the view's dragging byte
  uint8_t* quitting = nullptr;     // the instance's quit byte
  FlashPlugin* plugin = nullptr;
  CocoaInterfaceData& record;
};

// One family of commands (window, menu, system, file, network). A family
// leaves its results in the record; the handler sets `status` afterwards.
class CommandFamily {
 public:
  virtual ~CommandFamily() = default;
  // The handler's first dispatch: fContextMenu, fBundle and fPlugin are set
  // (the menu family adopts the context menu here).
  virtual void firstDispatch(KW_Commands& handler) { (void)handler; }
  // Runs the command of call.record.functionNumber.
  virtual void runCommand(ZFunctionCall& call) = 0;
};

class KW_Commands {
 public:
  // What the handler reaches outside itself. `host` gives the registry of
  // instances and the caching default; `caching` is the controller's
  // enableCaching: (may be null: then only the default changes).
  struct Environment {
    PluginHost* host = nullptr;
    InstanceCaching* caching = nullptr;
    std::vector<std::string> arguments;  // the process's command-line arguments, program first
  };

  // initWithParent:
  KW_Commands(Environment environment, FlashPlugin* parent);
  KW_Commands(const KW_Commands&) = delete;
  KW_Commands& operator=(const KW_Commands&) = delete;

  // doZFunction:TheBundle:TheMenu:Dragging:Quitting:FlashPlugin:ZFunction:
  void doZFunction(PluginWindow* window, const Bundle* theBundle, Menu* theMenu, uint8_t* dragging,
                   uint8_t* quitting, FlashPlugin* flashPlugin, CocoaInterfaceData* zFunction);

  // Plugs a family in (null takes it out). Families may be shared by handlers.
  void setFamily(CommandFamilyKind kind, std::shared_ptr<CommandFamily> family);
  CommandFamily* family(CommandFamilyKind kind) const;

  // setParameter: (a null text leaves the old one) and parameter.
  void setParameter(const char* parameter);
  const std::optional<std::string>& parameter() const { return fParameter; }
  void setParent(FlashPlugin* parent) { fParent = parent; }
  void setPreviewing(uint8_t previewing) { fPreview = previewing; }
  void setMonitorNumber(uint32_t monitorNumber) { fMonitorNumber = monitorNumber; }
  void setPlayMode(int32_t playMode) { fPlayMode = playMode; }

  // The state the handler keeps, named as the design names it.
  const Bundle* fBundle = nullptr;       // taken at the first dispatch
  FlashPlugin* fPlugin = nullptr;        // taken at the first dispatch
  Menu* fContextMenu = nullptr;          // the view's context menu, taken at the first dispatch
  uint8_t fFirstTime = 1;
  FlashPlugin* fParent = nullptr;        // the creating window's instance; null for the application's own
  std::optional<std::string> fParameter; // the window's creation parameter ("main" for the first window)
  int32_t fOriginalWindowLevel = 0;      // saved before a resolution change
  uint32_t fMonitorNumber = 1;
  int32_t fPlayMode = 0;
  uint8_t fPreview = 0;

 private:
  // The commands that need neither a window nor a system service.
  void trace(const CocoaInterfaceData& record);
  void getWindow(CocoaInterfaceData& record) const;
  void enableCaching(bool enable);
  void getArguments(CocoaInterfaceData& record) const;

  Environment environment_;
  std::array<std::shared_ptr<CommandFamily>, kCommandFamilyCount> families_;
};

}  // namespace kw
