// The command table as compile-time data, its decoded parameter columns and
// the name lookup.
#include "mac/commands/CommandTable.h"

#include <array>
#include <stdexcept>

#include "mac/commands/TextBytes.h"

namespace kw {
namespace {

// Columns: row, name, compared length (0: the name's), function ID, reply,
// URL-form parameters, list-form items.
constexpr std::array<CommandEntry, kCommandCount> kTable = {{
  {1, "trace", 0, 408, Reply::None, "msg->S1", "2->S1"},
  {2, "createMenu", 0, 100, Reply::None, "menuName->S1", "2->S1"},
  {3, "deleteMenu", 0, 101, Reply::None, "menuName->S1", "2->S1"},
  {4, "setMenuItemEnabled", 0, 111, Reply::None, "menuName->S1, itemName->S2, enable->B1", "4->S1, 2->S2, 3->B1"},
  {5, "addMenuToMenuBar", 0, 102, Reply::None, "menuName->S1", "2->S1"},
  {6, "addItem", 0, 105, Reply::None, "menuName->S1, itemName->S2, shortcut->S3", "3->S1, 2->S2, 4->S3"},
  {7, "addWebLinkToMenu", 0, 103, Reply::None, "menuName->S1, itemName->S2, url->S3", "3->S1, 2->S2, 4->S3"},
  {8, "addZOrderMenuItems", 0, 104, Reply::None, "menuName->S1", "2->S1"},
  {9, "addSeparator", 0, 107, Reply::None, "menuName->S1", "2->S1"},
  {10, "checkItem", 0, 108, Reply::None, "menuName->S1, itemName->S2, check->B1", "4->S1, 2->S2, 3->B1"},
  {11, "removeItem", 0, 106, Reply::None, "menuName->S1, itemName->S2", "3->S1, 2->S2"},
  {12, "removeAllItems", 0, 109, Reply::None, "menuName->S1", "2->S1"},
  {13, "onCommand", 0, 110, Reply::None, "menuName->S1, itemPosition->I1", "2->S1, 3->I1"},
  {14, "chooseColor", 0, 204, Reply::String, "", ""},
  {15, "getDesktopFolder", 0, 221, Reply::String, "", ""},
  {16, "getProgramsFolder", 0, 222, Reply::String, "", ""},
  {17, "showMouse", 0, 411, Reply::None, "show->B1", "2->B1"},
  {18, "executeApplication", 0, 200, Reply::Boolean, "application->S1, parameters->S2, show->B1", "2->S1, 3->S2, 4->B1"},
  {19, "isScreenSaverRunning", 0, 231, Reply::Boolean, "", ""},
  {20, "isMailAvailable", 0, 220, Reply::Boolean, "", ""},
  {21, "sendMail", 0, 219, Reply::Boolean, "message->S1, subject->S2, address->S3", "2->S1, 3->S2, 4->S3"},
  {22, "openDocument", 0, 201, Reply::Boolean, "document->S1", "2->S1"},
  {23, "runAppleScriptFile", 0, 203, Reply::TextOrString, "fileName->S1", "2->S1"},
  {24, "runAppleScript", 0, 202, Reply::TextOrString, "script->S1", "2->S1"},
  {25, "setStartAtLogin", 0, 205, Reply::None, "start->B1", "2->B1"},
  {26, "getStartAtLogin", 0, 206, Reply::Boolean, "", ""},
  {27, "isApplicationRunning", 0, 207, Reply::Boolean, "application->S1", "2->S1"},
  {28, "setActiveScreenSaver", 0, 208, Reply::None, "name->S1", "2->S1"},
  {29, "setActiveWallpaper", 0, 209, Reply::None, "fileName->S1", "2->S1"},
  {30, "getScreenSize", 0, 212, Reply::Point, "", ""},
  {31, "getHomeDirectory", 13, 214, Reply::String, "", ""},
  {32, "getSpecialFolder", 0, 210, Reply::String, "folderCode->I1", "2->I1"},
  {33, "getMyPath", 0, 228, Reply::String, "", ""},
  {34, "deleteSelf", 0, 229, Reply::None, "", ""},
  {35, "getSystemFolder", 14, 210, Reply::String, "folderCode->I1", "2->I1"},
  {36, "getUserGUID", 0, 217, Reply::String, "", ""},
  {37, "getHostAddress", 0, 218, Reply::String, "hostName->S1", "2->S1"},
  {38, "getUserName", 0, 215, Reply::String, "", ""},
  {39, "getComputerName", 0, 216, Reply::String, "", ""},
  {40, "listMonitors", 0, 213, Reply::TextOrString, "", ""},
  {41, "getWindows", 0, 223, Reply::TextOrString, "", ""},
  {42, "getWindowRect", 0, 224, Reply::TextOrString, "windowNum->I1", "2->I1"},
  {43, "setScreenResolutionTo800x600", 0, 225, Reply::None, "", ""},
  {44, "setScreenResolutionTo640x480", 0, 226, Reply::None, "", ""},
  {45, "resetScreenResolution", 0, 227, Reply::None, "", ""},
  {46, "openScreenSaverControlPanel", 29, 232, Reply::None, "", ""},
  {47, "zWindow.bringToForeground", 0, 305, Reply::None, "", ""},
  {48, "zWindow.getParameter", 0, 306, Reply::String, "", ""},
  {49, "zWindow.close", 0, 304, Reply::None, "", ""},
  {50, "zWindow.minimize", 0, 300, Reply::None, "", ""},
  {51, "zWindow.restore", 0, 301, Reply::None, "", ""},
  {52, "zWindow.setBackgroundColor", 0, 302, Reply::None, "color->I1", "3->I1"},
  {53, "zWindow.setMaskRectangle", 0, 303, Reply::None, "left->I1, top->I2, right->I3, bottom->I4", "3->I1, 4->I2, 5->I3, 6->I4"},
  {54, "zWindow.getPosition", 0, 308, Reply::Point, "", ""},
  {55, "zWindow.setPosition", 0, 307, Reply::None, "x->I1, y->I2", "3->I1, 4->I2"},
  {56, "zWindow.getSize", 0, 310, Reply::Point, "", ""},
  {57, "zWindow.setSize", 0, 309, Reply::None, "width->I1, height->I2", "3->I1, 4->I2"},
  {58, "zWindow.setTitle", 0, 311, Reply::None, "title->S1", "last->S1"},
  {59, "zWindow.setZOrder", 0, 312, Reply::None, "order->S1", "3->S1"},
  {60, "zWindow.show", 0, 313, Reply::None, "show->B1", "3->B1"},
  {61, "zWindow.startDrag", 0, 314, Reply::None, "", ""},
  {62, "zWindow.stopDrag", 17, 315, Reply::None, "", ""},
  {63, "zWindow.setShape", 0, 317, Reply::None, "fileName->S1", "3->S1"},
  {64, "zWindow.setAlpha", 0, 318, Reply::None, "level->I1", "3->I1"},
  {65, "zWindow.setFlashSize", 0, 319, Reply::None, "width->I1, height->I2", "3->I1, 4->I2"},
  {66, "zWindow.setFrameRate", 0, 320, Reply::None, "frameRate->I1", "3->I1"},
  {67, "zWindow.embedMediaWindow", 0, 321, Reply::Number, "fileName->S1, x->I1, y->I2, width->I3, height->I4", "2->S1, 3->I1, 4->I2, 5->I3, 6->I4"},
  {68, "zWindow.loadMedia", 0, 322, Reply::None, "fileName->I1", "3->I1"},
  {69, "zWindow.", 8, 0, Reply::None, "windowID->W", "2->W"},
  {70, "getArguments", 0, 421, Reply::Text, "", ""},
  {71, "enableCaching", 0, 418, Reply::None, "enable->B1", "2->B1"},
  {72, "messageDialog", 0, 413, Reply::Number, "title->S1, message->S2, defaultButton->S3, alternateButton->S4, otherButton->S5", "2->S1, 3->S2, 4->S3, 5->S4, 6->S5"},
  {73, "abortFunction", 0, 420, Reply::None, "functionID->I1", "2->I1"},
  {74, "captureScreenToJPG", 0, 403, Reply::Boolean, "fileName->S1", "2->S1"},
  {75, "createWindow", 0, 416, Reply::Number, "flashFileName->S1, x->I1, y->I2, parameter->S2, title->S3, type->S4, backgroundColor->S5, ownedByMainWindow->B1, initialAlpha->I3, resizeable->B2, hasShadow->B3, shapeFilename->S6", "2->S1, 3->I1, 4->I2, 5->S2, 6->S3, 7->S4, 8->S5, 9->B1, 10->I3, 11->B2, 12->B3, 13->S6"},
  {76, "createMediaWindow", 0, 419, Reply::Number, "fileName->S1, x->I1, y->I2, width->I3, height->I4, parameter->S2, title->S3", "2->S1, 3->I1, 4->I2, 5->I3, 6->I4, 7->S2, 8->S3"},
  {77, "getWindow", 0, 417, Reply::Number, "", ""},
  {78, "getVersion", 0, 415, Reply::String, "", ""},
  {79, "getWorkingDirectory", 0, 412, Reply::String, "", ""},
  {80, "getFolder", 0, 404, Reply::String, "", ""},
  {81, "getMousePosition", 0, 414, Reply::Point, "", ""},
  {82, "getPathToBundledApplication", 0, 406, Reply::String, "application->S1", "2->S1"},
  {83, "getPathToBundledFile", 0, 407, Reply::String, "fileName->S1", "2->S1"},
  {84, "checkNetConnection", 0, 400, Reply::Boolean, "", ""},
  {85, "bounceDockIcon", 0, 409, Reply::None, "repeats->B1", "2->B1"},
  {86, "setDockIconBadge", 0, 410, Reply::None, "badge->S1, color->S2", "2->S1, 3->S2"},
  {87, "downloadFile", 0, 401, Reply::Boolean, "URL->S2, fileName->S1, functionID->I1 (status ignored)", "2->S1, 3->S2, 4->I1"},
  {88, "quit", 0, 402, Reply::None, "", ""},
  {89, "revealInFinder", 0, 405, Reply::None, "", ""},
  {90, "flashPathToPosixPath", 0, 518, Reply::String, "filePath->S1", "2->S1"},
  {91, "fileExists", 0, 513, Reply::Boolean, "fileName->S1", "2->S1"},
  {92, "getFlashHeader", 0, 519, Reply::Text, "filePath->S1", "2->S1"},
  {93, "getFileAttributes", 0, 520, Reply::Text, "filePath->S1", "2->S1"},
  {94, "isFolder", 0, 517, Reply::Boolean, "fileName->S1", "2->S1"},
  {95, "copyFile", 0, 500, Reply::Boolean, "sourceFile->S1, destinationFile->S2", "2->S1, 3->S2"},
  {96, "copyFolder", 0, 501, Reply::Boolean, "sourceFolder->S1, destinationFolder->S2", "2->S1, 3->S2"},
  {97, "createShortcut", 10, 503, Reply::Boolean, "targetFile->S1, shortcutFile->S2", "2->S1, 3->S2"},
  {98, "deleteFile", 0, 504, Reply::Boolean, "fileName->S1", "2->S1"},
  {99, "createFolder", 0, 502, Reply::Boolean, "folderName->S1", "2->S1"},
  {100, "deleteFolder", 0, 505, Reply::Boolean, "folderName->S1", "2->S1"},
  {101, "renameFile", 0, 506, Reply::Boolean, "oldFileName->S1, newFileName->S2", "2->S1, 3->S2"},
  {102, "chooseFiles", 0, 516, Reply::Text, "title->S1, initFileName->S2, folderName->S3, filter->S4", "2->S1, 3->S2, 4->S3, 5->S4"},
  {103, "chooseFile", 0, 508, Reply::String, "title->S1, initFileName->S2, folderName->S3, filter->S4, saveFile->B1", "2->S1, 3->S2, 4->S3, 5->S4, 6->B1"},
  {104, "chooseFolder", 0, 509, Reply::String, "title->S1, initFolderName->S2 (always read)", "2->S1, 3->S2"},
  {105, "writeString", 0, 510, Reply::Boolean, "fileName->S1, textToWrite->S2", "2->S1, 3->S2"},
  {106, "readString", 0, 511, Reply::String, "fileName->S1", "2->S1"},
  {107, "appendString", 0, 512, Reply::Boolean, "fileName->S1, textToAppend->S2", "2->S1, 3->S2"},
  {108, "listFiles", 0, 514, Reply::TextOrString, "folderName->S1", "2->S1"},
  {109, "listFolders", 0, 515, Reply::TextOrString, "folderName->S1", "2->S1"},
  {110, "getMonitorNumber", 0, 700, Reply::Number, "", ""},
  {111, "getPlayMode", 0, 702, Reply::Number, "", ""},
  {112, "simpleGet", 0, 600, Reply::Number, "", ""},
  {113, "simplePut", 0, 601, Reply::Number, "", ""},
}};

// ---- Decoding the parameter columns (at compile time) ----------------------

constexpr size_t kMaxParameters = 12;  // createWindow reads the most

struct DecodedRow {
  std::array<URLParameter, kMaxParameters> url{};
  size_t urlCount = 0;
  std::array<ListParameter, kMaxParameters> list{};
  size_t listCount = 0;
};

// Reached only during constant evaluation, where it stops the build.
[[noreturn]] inline void malformedTable(const char* what) { throw std::logic_error(what); }

constexpr Slot slotNamed(std::string_view text) {
  constexpr std::array<std::string_view, 14> kNames = {"S1", "S2", "S3", "S4", "S5", "S6", "I1",
                                                       "I2", "I3", "I4", "B1", "B2", "B3", "W"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == text) return static_cast<Slot>(i);
  }
  malformedTable("unknown parameter destination");
}

constexpr int itemNumber(std::string_view text) {
  if (text == "last") return kLastItem;
  if (text.empty()) malformedTable("missing item number");
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') malformedTable("bad item number");
    value = value * 10 + (c - '0');
  }
  if (value < 2) malformedTable("items 0 and 1 name the command");
  return value;
}

// Calls `f(key, slot, note)` for each "key->slot[ (note)]" of a column.
template <typename F>
constexpr void forEachMapping(std::string_view column, F f) {
  while (!column.empty()) {
    const size_t comma = column.find(", ");
    std::string_view piece = column.substr(0, comma);
    column = comma == std::string_view::npos ? std::string_view{} : column.substr(comma + 2);
    std::string_view note;
    if (const size_t open = piece.find(" ("); open != std::string_view::npos) {
      if (!piece.ends_with(')')) malformedTable("unclosed note");
      note = piece.substr(open + 2, piece.size() - open - 3);
      piece = piece.substr(0, open);
    }
    const size_t arrow = piece.find("->");
    if (arrow == std::string_view::npos || arrow == 0) malformedTable("mapping without \"->\"");
    f(piece.substr(0, arrow), slotNamed(piece.substr(arrow + 2)), note);
  }
}

constexpr ReadRule ruleNamed(std::string_view note) {
  if (note.empty()) return ReadRule::Chained;
  if (note == "status ignored") return ReadRule::StatusIgnored;
  if (note == "always read") return ReadRule::AlwaysRead;
  malformedTable("unknown note");
}

constexpr DecodedRow decode(const CommandEntry& entry) {
  DecodedRow row;
  forEachMapping(entry.urlForm, [&](std::string_view key, Slot slot, std::string_view note) {
    if (row.urlCount == kMaxParameters) malformedTable("too many URL parameters");
    row.url[row.urlCount++] = URLParameter{key, slot, ruleNamed(note)};
  });
  forEachMapping(entry.listForm, [&](std::string_view key, Slot slot, std::string_view note) {
    if (!note.empty()) malformedTable("list items take no notes");
    if (row.listCount == kMaxParameters) malformedTable("too many list items");
    row.list[row.listCount++] = ListParameter{itemNumber(key), slot};
  });
  return row;
}

// Each form fills a destination at most once, and where a command has both
// forms they fill the same destinations.
constexpr bool slotsAgree(const DecodedRow& row) {
  uint32_t urlSlots = 0;
  uint32_t listSlots = 0;
  for (size_t i = 0; i < row.urlCount; ++i) {
    const uint32_t bit = 1u << static_cast<unsigned>(row.url[i].slot);
    if ((urlSlots & bit) != 0) return false;
    urlSlots |= bit;
  }
  for (size_t i = 0; i < row.listCount; ++i) {
    const uint32_t bit = 1u << static_cast<unsigned>(row.list[i].slot);
    if ((listSlots & bit) != 0) return false;
    listSlots |= bit;
  }
  return urlSlots == listSlots;
}

constexpr std::array<DecodedRow, kCommandCount> decodeTable() {
  std::array<DecodedRow, kCommandCount> rows{};
  for (size_t i = 0; i < kCommandCount; ++i) {
    const CommandEntry& entry = kTable[i];
    if (entry.number != static_cast<int>(i + 1)) malformedTable("rows out of order");
    if (entry.name.empty() || entry.comparedLength() == 0) malformedTable("empty name");
    rows[i] = decode(entry);
    if (!slotsAgree(rows[i])) malformedTable("URL and list forms disagree");
  }
  return rows;
}

constexpr std::array<DecodedRow, kCommandCount> kDecoded = decodeTable();

// Rows are found by their number; an entry that is not a row has no parameters.
const DecodedRow& decodedRow(const CommandEntry& entry) {
  static constexpr DecodedRow kNone{};
  if (entry.number < 1 || static_cast<size_t>(entry.number) > kCommandCount) return kNone;
  return kDecoded[static_cast<size_t>(entry.number - 1)];
}

}  // namespace

std::span<const CommandEntry> commandTable() { return kTable; }

bool commandNameMatches(std::string_view name, const CommandEntry& entry) {
  const size_t length = entry.comparedLength();
  for (size_t i = 0; i < length; ++i) {
    const char a = i < name.size() ? name[i] : '\0';
    const char b = i < entry.name.size() ? entry.name[i] : '\0';
    if (toLowerASCII(a) != toLowerASCII(b)) return false;
    if (a == '\0') return true;  // both texts end here
  }
  return true;
}

const CommandEntry* findCommand(std::string_view name) {
  for (const CommandEntry& entry : kTable) {
    if (commandNameMatches(name, entry)) return &entry;
  }
  return nullptr;
}

std::span<const URLParameter> urlParameters(const CommandEntry& entry) {
  const DecodedRow& row = decodedRow(entry);
  return std::span(row.url).first(row.urlCount);
}

std::span<const ListParameter> listParameters(const CommandEntry& entry) {
  const DecodedRow& row = decodedRow(entry);
  return std::span(row.list).first(row.listCount);
}

}  // namespace kw
