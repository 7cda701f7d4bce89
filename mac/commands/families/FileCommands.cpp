// The file command family: takes the arguments from the record, runs the
// file operation or the panel, and leaves the boolean or the text in the record.
#include "mac/commands/families/FileCommands.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/FunctionIds.h"
#include "mac/commands/ListEncoding.h"
#include "mac/commands/PercentEscaping.h"
#include "mac/commands/RequestReaders.h"
#include "mac/commands/families/FileOperations.h"
#include "mac/net/StringExtras.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/HostInterfaces.h"

namespace kw {
namespace {

// The filter that makes an open panel a folder chooser.
constexpr std::string_view kFolderFilter = "DiR";

// A string parameter as the commands take it: missing, "nil" and "undefined" are "".
std::string argument(CocoaInterfaceData& record, int index) {
  const std::optional<std::string>* parameter = record.stringParam(index);
  return myStringWithUTF8String(parameter != nullptr && *parameter ? (*parameter)->c_str() : nullptr);
}

// While a panel runs, a calling window above the normal level is lowered to
// it, so that the panel is not hidden behind the window.
class LoweredWindowLevel {
 public:
  explicit LoweredWindowLevel(Window* window) {
    const int32_t normal = windowLevelForKey(kNormalWindowLevelKey);
    if (window == nullptr || window->level() <= normal) return;
    window_ = window;
    saved_ = window->level();
    window->setLevel(normal);
  }
  ~LoweredWindowLevel() {
    if (window_ != nullptr) window_->setLevel(saved_);
  }
  LoweredWindowLevel(const LoweredWindowLevel&) = delete;
  LoweredWindowLevel& operator=(const LoweredWindowLevel&) = delete;

 private:
  Window* window_ = nullptr;
  int32_t saved_ = 0;
};

class FileCommands : public CommandFamily {
 public:
  explicit FileCommands(const FamilyServices& services) : services_(services) {}

  void runCommand(ZFunctionCall& call) override {
    CocoaInterfaceData& record = call.record;
    const auto s = [&record](int index) { return argument(record, index); };
    const auto answer = [&record](bool ok) { record.booleanResult = ok ? 1 : 0; };
    switch (record.functionNumber) {
      case fid::kCopyFile:
      case fid::kCopyFolder:
        answer(files::copyFileOrFolder(s(1), s(2), call.bundle != nullptr ? call.bundle : services_.application));
        break;
      case fid::kCreateFolder:
        answer(files::createFolder(files::convertFlashPathToOSPath(s(1))));
        break;
      case fid::kCreateShortcut:
        answer(files::createShortCut(s(1), s(2)));
        break;
      case fid::kDeleteFile:
      case fid::kDeleteFolder:
        answer(files::moveFileToUserTrash(s(1)));
        break;
      case fid::kRenameFile:
        answer(files::renameFile(s(1), s(2)));
        break;
      case fid::kChooseFile:
        record.stringResult = record.boolParam1 != 0 ? saveFile(call, s(1), s(2), s(3), s(4))
                                                     : chooseFile(call, s(1), s(2), s(3), s(4), false);
        break;
      case fid::kChooseFolder:
        record.stringResult = chooseFile(call, s(1), s(2), s(2), std::string(kFolderFilter), false);
        break;
      case fid::kChooseFiles:
        record.stringResult = chooseFile(call, s(1), s(2), s(3), s(4), true);
        break;
      case fid::kWriteString:
        answer(files::writeStringToFile(s(1), s(2)));
        break;
      case fid::kReadString:
        record.stringResult = files::readStringFromFile(s(1));
        break;
      case fid::kAppendString:
        answer(files::appendStringToFile(s(1), s(2)));
        break;
      case fid::kFileExists:
        answer(files::fileExists(files::convertFlashPathToOSPath(s(1))));
        break;
      case fid::kIsFolder:
        answer(files::isFolder(files::convertFlashPathToOSPath(s(1))));
        break;
      case fid::kListFiles:
      case fid::kListFolders:
        record.stringResult = files::listFilesOrFolders(s(1), record.functionNumber == fid::kListFiles,
                                                        record.synchronous != 0);
        break;
      case fid::kFlashPathToPosixPath:
        if (record.stringParam1) record.stringResult = files::convertFlashPathToOSPath(s(1));
        break;
      case fid::kGetFlashHeader:
        record.stringResult = files::getFlashHeader(s(1));
        break;
      case fid::kGetFileAttributes:
        record.stringResult = files::getFileAttributes(s(1));
        break;
      default:
        break;
    }
  }

 private:
  static Window* nativeWindow(const ZFunctionCall& call) {
    return call.window != nullptr ? call.window->nativeWindow() : nullptr;
  }

  // chooseFile:title:initFileName:initFolderName:extension:allowMultiChoice:zFunction:
  std::optional<std::string> chooseFile(const ZFunctionCall& call, const std::string& title,
                                        const std::string& fileName, const std::string& folder,
                                        const std::string& filter, bool multiple) {
    if (services_.desktop == nullptr) return std::nullopt;
    Desktop::FilePanel panel;
    panel.title = title;
    panel.multiple = multiple;
    panel.fileName = fileName;
    if (!folder.empty()) panel.directory = files::convertFlashPathToOSPath(folder);
    if (filter == kFolderFilter) {
      panel.canChooseDirectories = true;
      panel.canChooseFiles = false;
      panel.fileName.clear();
    } else if (filter != "*" && filter != "*.*" && !filter.empty()) {
      // Every part between commas, trimmed, is an extension.
      for (size_t start = 0;;) {
        const size_t comma = filter.find(',', start);
        panel.fileTypes.push_back(stringByTrimmingWhitespace(std::string_view(filter).substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    }
    std::optional<std::vector<std::string>> chosen;
    {
      LoweredWindowLevel lowered(nativeWindow(call));
      chosen = services_.desktop->runOpenPanel(panel);
    }
    if (!chosen || chosen->empty()) return std::nullopt;
    if (multiple) {
      std::vector<std::string> paths;
      for (const std::string& path : *chosen) paths.push_back(files::convertOSPathToFlashPath(path));
      return arrayOfStringsToXmlStringList(paths);
    }
    return stringByAddingPercentEscapesIncludingAmpersandsAndCommas(files::convertOSPathToFlashPath(chosen->front()));
  }

  // saveFile:title:initFileName:initFolderName:extension:zFunction:
  std::optional<std::string> saveFile(const ZFunctionCall& call, const std::string& title,
                                      const std::string& fileName, const std::string& folder,
                                      const std::string& filter) {
    if (services_.desktop == nullptr) return std::nullopt;
    Desktop::FilePanel panel;
    panel.title = title;
    panel.fileName = fileName;
    if (!folder.empty()) panel.directory = files::convertFlashPathToOSPath(folder);
    if (!filter.empty()) panel.fileTypes.push_back(filter);  // the required type
    std::optional<std::string> chosen;
    {
      LoweredWindowLevel lowered(nativeWindow(call));
      chosen = services_.desktop->runSavePanel(panel);
    }
    if (!chosen) return std::nullopt;
    return stringByAddingPercentEscapesIncludingAmpersandsAndCommas(files::convertOSPathToFlashPath(*chosen));
  }

  FamilyServices services_;
};

}  // namespace

std::shared_ptr<CommandFamily> makeFileCommands(const FamilyServices& services) {
  return std::make_shared<FileCommands>(services);
}

}  // namespace kw
