// The command parser: see CommandParser.h. The table says which parameters a
// command reads; the few commands that need more are handled at the end.
#include "mac/commands/CommandParser.h"

#include <string>
#include <vector>

#include "mac/commands/CommandTable.h"
#include "mac/commands/FunctionIds.h"
#include "mac/commands/ListItemAccess.h"
#include "mac/commands/RequestReaders.h"

namespace kw {
namespace {

constexpr std::string_view kWindowObject = "zWindow";

enum class SlotKind { String, Integer, Boolean, Window };

SlotKind kindOf(Slot slot) {
  if (slot <= Slot::S6) return SlotKind::String;
  if (slot <= Slot::I4) return SlotKind::Integer;
  if (slot <= Slot::B3) return SlotKind::Boolean;
  return SlotKind::Window;
}

std::optional<std::string>& stringField(CocoaInterfaceData& record, Slot slot) {
  switch (slot) {
    case Slot::S2: return record.stringParam2;
    case Slot::S3: return record.stringParam3;
    case Slot::S4: return record.stringParam4;
    case Slot::S5: return record.stringParam5;
    case Slot::S6: return record.stringParam6;
    default: return record.stringParam1;
  }
}

int32_t& intField(CocoaInterfaceData& record, Slot slot) {
  switch (slot) {
    case Slot::I2: return record.intParam2;
    case Slot::I3: return record.intParam3;
    case Slot::I4: return record.intParam4;
    default: return record.intParam1;
  }
}

uint8_t& boolField(CocoaInterfaceData& record, Slot slot) {
  switch (slot) {
    case Slot::B2: return record.boolParam2;
    case Slot::B3: return record.boolParam3;
    default: return record.boolParam1;
  }
}

void applyEntry(const CommandEntry& entry, CocoaInterfaceData& record, bool synchronous) {
  if (entry.functionID != 0) record.functionNumber = entry.functionID;
  switch (entry.reply) {
    case Reply::None: break;
    case Reply::Boolean: record.resultIsBoolean = 1; break;
    case Reply::Number: record.resultIsNumber = 1; break;
    case Reply::String: record.resultIsString = 1; break;
    case Reply::Text: record.resultIsText = 1; break;
    case Reply::Point: record.resultIsPoint = 1; break;
    case Reply::TextOrString: (synchronous ? record.resultIsText : record.resultIsString) = 1; break;
  }
}

// The extras of a few commands that both forms share.
void finishEntry(const CommandEntry& entry, CocoaInterfaceData& record, ParserServices& services) {
  switch (entry.functionID) {
    case fid::kGetMousePosition: {
      const MousePoint where = services.currentMousePosition();
      record.numberResult = where.h;
      record.numberResult2 = where.v;
      record.completed = 1;
      break;
    }
    case fid::kDownloadFile:
      record.resultIsNumber = 1;
      record.deadlineTicks = 0;
      break;
    case fid::kReadString:
    case fid::kAppendString:
      record.deadlineTicks = 0;
      break;
    default: break;
  }
}

// ---- URL form ---------------------------------------------------------------

Status readURLParameter(std::string_view request, const URLParameter& parameter, CocoaInterfaceData& record) {
  switch (kindOf(parameter.slot)) {
    case SlotKind::String: {
      std::optional<std::string>& field = stringField(record, parameter.slot);
      if (!field) field.emplace();
      return readStringParameter(request, parameter.name, *field);
    }
    case SlotKind::Integer: return readIntParameter(request, parameter.name, intField(record, parameter.slot));
    case SlotKind::Boolean: return readBoolParameter(request, parameter.name, boolField(record, parameter.slot));
    case SlotKind::Window: {
      int32_t window = 0;
      const Status status = readIntParameter(request, parameter.name, window);
      if (status == kStatusOK) record.windowID = static_cast<uint32_t>(window);
      return status;
    }
  }
  return kStatusBadParameter;
}

Status readURLParameters(std::string_view request, const CommandEntry& entry, CocoaInterfaceData& record) {
  const auto parameters = urlParameters(entry);
  // Every string destination gets its (possibly empty) value before any read.
  for (const URLParameter& parameter : parameters) {
    if (kindOf(parameter.slot) == SlotKind::String) stringField(record, parameter.slot).emplace();
  }
  Status status = kStatusOK;
  for (const URLParameter& parameter : parameters) {
    if (parameter.rule != ReadRule::AlwaysRead && status != kStatusOK) continue;
    const Status read = readURLParameter(request, parameter, record);
    if (parameter.rule != ReadRule::StatusIgnored) status = read;
  }
  return status;
}

// simpleGet / simplePut: read the transfer's parameters and start it. The
// transfer start decides the outcome, so a missing parameter does not stop
// the reads and its status is not the parse status.
Status startFTP(std::string_view request, CocoaInterfaceData& record, ParserServices& services) {
  record.stringParam2.emplace();
  record.stringParam3.emplace();
  record.stringParam4.emplace();
  record.stringParam5.emplace();
  record.stringParam6.emplace();
  if (!record.stringParam1) record.stringParam1.emplace();
  readStringParameter(request, "userAgent", *record.stringParam1);
  readStringParameter(request, "serverNameOrIP", *record.stringParam2);
  if (readStringParameter(request, "userName", *record.stringParam3) != kStatusOK) {
    readStringParameter(request, "username", *record.stringParam3);
  }
  readStringParameter(request, "password", *record.stringParam4);
  readStringParameter(request, "serverPath", *record.stringParam5);
  readStringParameter(request, "hardDrivePath", *record.stringParam6);
  readBoolParameter(request, "replaceFileIfItExists", record.boolParam1);

  record.resultIsNumber = 1;
  record.numberResult = 0;
  record.completed = 0;
  record.deadlineTicks = record.startTicks + kFTPDeadlineTicks;
  const Status started = services.startFTPTransfer(record);
  return started != kStatusOK ? started : kStatusRunCommand;
}

Status parseURLForm(std::string_view text, CocoaInterfaceData& record, bool synchronous,
                    ParserServices& services) {
  record.stringParam1.emplace();
  const std::string_view name = stripObjectPrefix(text);
  record.requestText = std::string(name);
  int32_t window = 0;
  if (readIntParameter(text, "windowID", window) == kStatusOK) record.windowID = static_cast<uint32_t>(window);

  const CommandEntry* entry = findCommand(name);
  if (entry == nullptr) return kStatusUnknownCommand;
  applyEntry(*entry, record, synchronous);
  const Status status = readURLParameters(text, *entry, record);
  finishEntry(*entry, record, services);
  if (entry->functionID == fid::kSimpleGet || entry->functionID == fid::kSimplePut) {
    return startFTP(text, record, services);
  }
  return status == kStatusOK ? kStatusRunCommand : status;
}

// ---- List form --------------------------------------------------------------

std::string_view itemText(const std::vector<std::string>& items, size_t index) {
  const std::string* item = kwObjectAtIndex(items, index);
  return item != nullptr ? std::string_view(*item) : std::string_view{};
}

void storeListItem(std::string_view item, Slot slot, CocoaInterfaceData& record) {
  switch (kindOf(slot)) {
    case SlotKind::String: stringField(record, slot) = std::string(item); break;
    case SlotKind::Integer: intField(record, slot) = leadingInteger(item); break;
    case SlotKind::Boolean: boolField(record, slot) = booleanValue(item) ? 1 : 0; break;
    case SlotKind::Window: record.windowID = static_cast<uint32_t>(leadingInteger(item)); break;
  }
}

Status parseListForm(std::string_view text, CocoaInterfaceData& record, bool synchronous,
                     ParserServices& services) {
  record.listForm = 1;
  record.requestText = std::string(text);
  std::vector<std::string> items = splitListRequest(text);
  if (items.empty()) items.emplace_back();  // the splitter answers at least one item; keep it so

  std::string name;
  if (items.front() == kWindowObject) {
    // Window commands: item 2 names the target window, "0" (the requester) when absent.
    if (items.size() == 2) items.emplace_back("0");
    record.windowID = static_cast<uint32_t>(leadingInteger(itemText(items, 2)));
    name = std::string(kWindowObject) + '.';
    name += itemText(items, 1);
  } else {
    name = itemText(items, 1);
  }

  const CommandEntry* entry = findCommand(name);
  if (entry == nullptr) return kStatusUnknownCommand;
  applyEntry(*entry, record, synchronous);
  for (const ListParameter& parameter : listParameters(*entry)) {
    const size_t index = parameter.item == kLastItem ? items.size() - 1 : static_cast<size_t>(parameter.item);
    storeListItem(itemText(items, index), parameter.slot, record);
  }
  finishEntry(*entry, record, services);
  return kStatusRunCommand;
}

}  // namespace

Status parseCommand(std::string_view text, CocoaInterfaceData* record, bool synchronous, bool listForm,
                    ParserServices& services) {
  if (record == nullptr) return kStatusRunCommand;
  text = text.substr(0, text.find('\0'));
  if (synchronous) record->synchronous = 1;
  return listForm ? parseListForm(text, *record, synchronous, services)
                  : parseURLForm(text, *record, synchronous, services);
}

}  // namespace kw
