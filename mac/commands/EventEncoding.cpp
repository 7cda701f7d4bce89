// Event texts, event XML and the fixed events: see EventEncoding.h.
#include "mac/commands/EventEncoding.h"

#include <cstdio>

#include "mac/commands/ListEncoding.h"

namespace kw {
namespace {

constexpr std::string_view kItemSeparator = "~!";

std::string formatFixed(double value) {
  // "%f" of a huge value runs to some 300 digits: size the buffer first.
  const int length = std::snprintf(nullptr, 0, "%f", value);
  if (length <= 0) return {};
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(out.data(), out.size(), "%f", value);
  out.resize(static_cast<size_t>(length));
  return out;
}

EventMessage textOnly(std::string text) { return {std::move(text), std::nullopt}; }
EventMessage xmlOnly(std::string xml) { return {std::nullopt, std::move(xml)}; }

std::vector<ListElement> asListElements(const std::vector<std::string>& paths) {
  return {paths.begin(), paths.end()};
}

}  // namespace

EventItem EventItem::boolean(bool value) { return {Encoded{}, value ? "!B00L1" : "!B00L0"}; }
EventItem EventItem::number(double value) { return {Encoded{}, "!nm3r" + formatFixed(value)}; }
EventItem EventItem::integer(int64_t value) { return {Encoded{}, "!nm3r" + std::to_string(value)}; }

std::string eventText(const std::vector<EventItem>& items) {
  std::string out = "ARRAY_OF_STRINGS=";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.append(kItemSeparator);
    out.append(items[i].encoded());
  }
  return out;
}

std::string eventXML(const std::vector<std::string>& items, size_t tabRun) {
  const std::string tabs(tabRun, '\t');
  std::string out = "<array length=\"" + std::to_string(items.size()) + "\">";
  for (size_t i = 0; i < items.size(); ++i) {
    out.append(tabs).append("<property id=\"").append(std::to_string(i)).append("\"><string>");
    out.append(items[i]).append("</string></property>");
  }
  out.append(tabs).append("</array>");
  return out;
}

namespace events {

EventMessage windowActivation(bool becameMain) {
  return {eventText({"zWindow", "onActivate", EventItem::boolean(becameMain)}),
          eventXML({"zApplication", becameMain ? "onActivate" : "onDeactivate"})};
}

EventMessage applicationActivation(bool active) {
  return {eventText({"zApplication", "onActivate", EventItem::boolean(active)}),
          eventXML({"zWindow", active ? "onActivate" : "onDeactivate"})};
}

EventMessage windowMinimized() { return {eventText({"zWindow", "onMinimized"}), eventXML({"zWindow", "onMinimized"})}; }
EventMessage windowRestored() { return {eventText({"zWindow", "onRestored"}), eventXML({"zWindow", "onRestored"})}; }
EventMessage windowClose() { return xmlOnly(eventXML({"zWindow", "onClose"})); }
EventMessage applicationQuit() { return xmlOnly(eventXML({"zApplication", "onQuit"})); }

EventMessage scrollWheel(double verticalDelta) {
  return textOnly(eventText({"zWindow", "onScrollWheel", EventItem::number(verticalDelta)}));
}

EventMessage dragFiles(const std::vector<std::string>& paths) {
  return textOnly(eventText({"zWindow", "onDragFiles"}) + std::string(kItemSeparator) + tildeList(asListElements(paths)));
}

EventMessage dropFiles(const std::vector<std::string>& paths) {
  return textOnly(eventText({"zWindow", "onDropFiles"}) + std::string(kItemSeparator) + tildeList(asListElements(paths)));
}

EventMessage dragLeave() { return textOnly(eventText({"zWindow", "onDragLeave"})); }
EventMessage maskMouseDown() { return textOnly(eventText({"zWindow", "onMaskMouseDown"})); }
EventMessage maskMouseUp() { return textOnly(eventText({"zWindow", "onMaskMouseUp"})); }

EventMessage screenChange() {
  return {eventText({"zApplication", "onScreenChange"}),
          eventXML({"zApplication", "onScreenChange"}, kScreenChangeTabRun)};
}

EventMessage restart(std::string_view bundlePath, std::string_view openedFilePath) {
  return textOnly(eventText({"zApplication", "onRestart", bundlePath, openedFilePath}));
}

EventMessage applicationMenuCommand(std::string_view itemTitle) {
  return {eventText({"zMenu", "onCommand", "Zivra", itemTitle}),
          eventXML({"zMenu", "onCommand", "Zivra", std::string(itemTitle)}, kMenuCommandTabRun)};
}

EventMessage customMenuCommand(std::string_view menuName, std::string_view itemName) {
  return textOnly(eventText({"zMenu", "onCommand", menuName, itemName}));
}

EventMessage downloadProgress(int32_t session, int64_t bytesReceived, int64_t bytesExpected) {
  // The XML carries the counts as 32-bit numbers: cut them modulo 2^32.
  const auto cut = [](int64_t value) { return std::to_string(static_cast<int32_t>(value)); };
  return {eventText({"zApplication", "downloadProgress", std::to_string(session),
                     std::to_string(bytesReceived), std::to_string(bytesExpected)}),
          eventXML({"zApplication", "downloadProgress", std::to_string(session), cut(bytesReceived),
                    cut(bytesExpected)})};
}

}  // namespace events
}  // namespace kw
