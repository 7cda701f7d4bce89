// The command handler of one movie view: the dispatcher, the commands that need
// no window or system service, and the routing of every other ID to its family.
#include "mac/commands/KW_Commands.h"

#include <utility>

#include "mac/commands/FunctionIds.h"
#include "mac/commands/ListEncoding.h"
#include "mac/commands/PercentEscaping.h"
#include "mac/commands/RequestReaders.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {
namespace {

bool isMenuCommand(int32_t id) { return (id >= 100 && id <= 109) || id == 111; }

bool isSystemCommand(int32_t id) {
  if (id >= 200 && id <= 232) return id != 204 && id != 211 && id != 222 && id != 230;
  switch (id) {
    case 400: case 402: case 403: case 404: case 405: case 406: case 407:
    case 409: case 410: case 411: case 412: case 413: case 415:
      return true;
    default:
      return false;
  }
}

bool isWindowCommand(int32_t id) {
  switch (id) {
    case 300: case 301: case 305: case 307: case 308: case 309: case 310: case 311:
    case 312: case 313: case 314: case 317: case 318: case 319: case 321:
    case 416: case 419:
      return true;
    default:
      return false;
  }
}

bool isFileCommand(int32_t id) { return id >= 500 && id <= 520 && id != 507; }

bool isNetworkCommand(int32_t id) { return id == 401 || id == 420 || id == 600 || id == 601; }

// A string parameter as the commands take it: missing, "nil" and "undefined" are "".
std::string stringArgument(const std::optional<std::string>& parameter) {
  return myStringWithUTF8String(parameter ? parameter->c_str() : nullptr);
}

}  // namespace

std::optional<CommandFamilyKind> commandFamilyOf(int32_t functionNumber) {
  if (isMenuCommand(functionNumber)) return CommandFamilyKind::Menu;
  if (isSystemCommand(functionNumber)) return CommandFamilyKind::System;
  if (isWindowCommand(functionNumber)) return CommandFamilyKind::Window;
  if (isFileCommand(functionNumber)) return CommandFamilyKind::File;
  if (isNetworkCommand(functionNumber)) return CommandFamilyKind::Network;
  return std::nullopt;
}

KW_Commands::KW_Commands(Environment environment, FlashPlugin* parent)
    : fParent(parent), environment_(std::move(environment)) {}

void KW_Commands::setFamily(CommandFamilyKind kind, std::shared_ptr<CommandFamily> family) {
  families_[static_cast<size_t>(kind)] = std::move(family);
}

CommandFamily* KW_Commands::family(CommandFamilyKind kind) const {
  return families_[static_cast<size_t>(kind)].get();
}

void KW_Commands::setParameter(const char* parameter) {
  if (parameter != nullptr) fParameter = std::string(parameter);
}

void KW_Commands::doZFunction(PluginWindow* window, const Bundle* theBundle, Menu* theMenu, uint8_t* dragging,
                              uint8_t* quitting, FlashPlugin* flashPlugin, CocoaInterfaceData* zFunction) {
  if (fFirstTime != 0) {
    fBundle = theBundle;
    fPlugin = flashPlugin;
    fContextMenu = theMenu;
    fFirstTime = 0;
    for (const auto& family : families_) {
      if (family) family->firstDispatch(*this);
    }
  }
  if (zFunction == nullptr || zFunction->sanityCheck != kCocoaInterfaceMarker) return;
  CocoaInterfaceData& record = *zFunction;
  if (record.dispatched != 0) {
    systemLog("BAD ZFunction");
    return;
  }
  record.dispatched = 1;
  record.completed = 1;

  switch (record.functionNumber) {
    case fid::kGetParameter:
      record.stringResult = fParameter;
      break;
    case fid::kTrace:
      trace(record);
      break;
    case fid::kGetWindow:
      getWindow(record);
      break;
    case fid::kEnableCaching:
      enableCaching(record.boolParam1 != 0);
      break;
    case fid::kGetArguments:
      getArguments(record);
      break;
    case fid::kGetMonitorNumber:
      record.numberResult = static_cast<int32_t>(fMonitorNumber);
      break;
    case fid::kGetPlayMode:
      record.numberResult = fPlayMode;
      break;
    default:
      // 110, 204, 222, 302, 303, 315, 316, 322, 414 (answered from what the
      // parser stored) and 507 do nothing, nor do IDs outside the table; every
      // other ID belongs to a family, and does nothing while that family is absent.
      if (const auto kind = commandFamilyOf(record.functionNumber)) {
        if (CommandFamily* runner = family(*kind)) {
          ZFunctionCall call{*this, window, theBundle, theMenu, dragging, quitting, flashPlugin, record};
          runner->runCommand(call);
        }
      }
      break;
  }
  record.status = 0;
}

void KW_Commands::trace(const CocoaInterfaceData& record) {
  systemLog("Zivra trace -> " + stringByRemovingPercentEscapes(stringArgument(record.stringParam1)));
}

void KW_Commands::getWindow(CocoaInterfaceData& record) const {
  // The creator's identity as the registry knows it: 0 without a parent, and 0
  // once the parent has left the registry (its identity no longer names it).
  uint32_t identity = 0;
  if (fParent != nullptr && environment_.host != nullptr) {
    if (InstanceRegistry* registry = environment_.host->services().registry) identity = registry->identityOf(fParent);
  }
  record.numberResult = static_cast<int32_t>(identity);
}

void KW_Commands::enableCaching(bool enable) {
  if (environment_.host != nullptr) environment_.host->cachingDefault = enable;
  if (environment_.caching != nullptr) environment_.caching->enableCaching(enable);
}

void KW_Commands::getArguments(CocoaInterfaceData& record) const {
  // Synchronous calls get the XML list; URL requests get the tilde list that
  // asynchronous list replies use everywhere else.
  if (record.synchronous != 0) {
    record.stringResult = arrayOfStringsToXmlStringList(environment_.arguments);
  } else {
    std::vector<ListElement> list(environment_.arguments.begin(), environment_.arguments.end());
    record.stringResult = tildeList(list);
  }
}

}  // namespace kw
