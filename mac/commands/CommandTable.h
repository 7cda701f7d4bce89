// The command table: every command name a movie can call, in comparison order,
// with its function ID, its reply kind and where its parameters go in the request record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kw {

// The kind of reply value a command produces; TextOrString is a text (XML) reply
// for synchronous calls and a string reply for asynchronous ones.
enum class Reply : uint8_t { None, Boolean, Number, String, Text, Point, TextOrString };

// Parameter destinations in the request record: stringParam1..6, intParam1..4,
// boolParam1..3 and windowID.
enum class Slot : uint8_t { S1, S2, S3, S4, S5, S6, I1, I2, I3, I4, B1, B2, B3, W };

// How a URL-form parameter read takes part in the parse status.
enum class ReadRule : uint8_t {
  Chained,        // read only while the earlier reads succeeded; its failure is the status
  StatusIgnored,  // read only while the earlier reads succeeded; its own status is dropped
  AlwaysRead,     // read even after a failure; its status replaces the earlier one
};

struct URLParameter {
  std::string_view name;  // compared case-sensitively
  Slot slot = Slot::S1;
  ReadRule rule = ReadRule::Chained;
};

inline constexpr int kLastItem = -1;  // list-form item index meaning "the last item"

struct ListParameter {
  int item = 0;  // index into the split list, or kLastItem
  Slot slot = Slot::S1;
};

// One row. The parameter columns are written as in the command reference:
// URL form "name->slot, ..." (optionally followed by " (status ignored)" or
// " (always read)"), list form "item->slot, ..." with "last" for the last item.
// They are decoded and checked when the table is compiled; use urlParameters()
// and listParameters() to read them.
struct CommandEntry {
  int number = 0;           // row number, 1-based, in comparison order
  std::string_view name;
  size_t length = 0;        // compared length when it differs from the name's length
  int16_t functionID = 0;   // 0: the row stores no ID (the record keeps 0)
  Reply reply = Reply::None;
  std::string_view urlForm;
  std::string_view listForm;

  constexpr size_t comparedLength() const { return length != 0 ? length : name.size(); }
};

inline constexpr size_t kCommandCount = 113;

// All rows in comparison order.
std::span<const CommandEntry> commandTable();

// strncasecmp semantics over the entry's compared length (ASCII case folding):
// the first n characters must match, and a shorter name matches only where
// the entry's text ends at the same place.
bool commandNameMatches(std::string_view name, const CommandEntry& entry);

// The first row whose name matches, or nullptr.
const CommandEntry* findCommand(std::string_view name);

// The decoded parameter columns of a row, in reading order.
std::span<const URLParameter> urlParameters(const CommandEntry& entry);
std::span<const ListParameter> listParameters(const CommandEntry& entry);

}  // namespace kw
