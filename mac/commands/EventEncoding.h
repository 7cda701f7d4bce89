// Events the host sends to a movie on its own, in their two encodings: the
// event text of the back channel ("ARRAY_OF_STRINGS=..." for ActionScript 1
// and 2 movies) and the event XML handed to "zApplication.onEventSync"
// (ActionScript 3 movies); plus builders for every fixed event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// One item of an event text: a string (written as it is), a boolean
// ("!B00L1"/"!B00L0") or a number ("!nm3r" and the number).
class EventItem {
 public:
  EventItem(std::string text) : encoded_(std::move(text)) {}
  EventItem(std::string_view text) : encoded_(text) {}
  EventItem(const char* text) : encoded_(text) {}
  static EventItem boolean(bool value);
  static EventItem number(double value);    // formatted as "%f"
  static EventItem integer(int64_t value);  // formatted as a decimal

  const std::string& encoded() const { return encoded_; }

 private:
  struct Encoded {};
  EventItem(Encoded, std::string encoded) : encoded_(std::move(encoded)) {}
  std::string encoded_;
};

// "ARRAY_OF_STRINGS=" and the items joined by "~!".
std::string eventText(const std::vector<EventItem>& items);

// "<array length=\"n\">", one string property per item, "</array>"; with
// `tabRun` > 0 a run of that many tabs stands between adjacent elements.
// Items are inserted unescaped.
std::string eventXML(const std::vector<std::string>& items, size_t tabRun = 0);

// An event in the encodings it is sent in (an absent one is not sent).
struct EventMessage {
  std::optional<std::string> text;
  std::optional<std::string> xml;
};

namespace events {

inline constexpr size_t kScreenChangeTabRun = 12;
inline constexpr size_t kMenuCommandTabRun = 8;

EventMessage windowActivation(bool becameMain);         // window became / resigned main
EventMessage applicationActivation(bool active);        // application (de)activated
EventMessage windowMinimized();
EventMessage windowRestored();
EventMessage windowClose();                             // event XML only
EventMessage applicationQuit();                         // event XML only
EventMessage scrollWheel(double verticalDelta);         // event text only
EventMessage dragFiles(const std::vector<std::string>& paths);  // event text only
EventMessage dropFiles(const std::vector<std::string>& paths);  // event text only
EventMessage dragLeave();                               // event text only
EventMessage maskMouseDown();                           // event text only
EventMessage maskMouseUp();                             // event text only
EventMessage screenChange();
// Paths are written as they are, unescaped. Event text only.
EventMessage restart(std::string_view bundlePath, std::string_view openedFilePath);
// An item of the application menu was chosen.
EventMessage applicationMenuCommand(std::string_view itemTitle);
// An item of a menu the movie built was chosen; names unescaped. Event text only.
EventMessage customMenuCommand(std::string_view menuName, std::string_view itemName);
// Progress of a download session: 64-bit byte counts in the event text, the
// same numbers cut to 32 bits in the event XML. A failed download reports 0, 0.
EventMessage downloadProgress(int32_t session, int64_t bytesReceived, int64_t bytesExpected);

}  // namespace events
}  // namespace kw
