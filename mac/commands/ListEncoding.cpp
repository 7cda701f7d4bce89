// List, rectangle and substring helpers of the reply values: see ListEncoding.h.
#include "mac/commands/ListEncoding.h"

#include <cmath>
#include <limits>

#include "mac/commands/PercentEscaping.h"

namespace kw {
namespace {

constexpr std::string_view kXmlListHead = "<object><property id=\"KW_array\"><array>";
constexpr std::string_view kXmlListTail = "</array></property></object>";

// The closing length property; the blank before "=" is what movies expect.
void appendXmlListLength(std::string& out, size_t count) {
  out.append("<property id =\"length\"><number>").append(std::to_string(count)).append("</number></property>");
}

void appendXmlProperty(std::string& out, size_t index, std::string_view kind, std::string_view value) {
  out.append("<property id=\"").append(std::to_string(index)).append("\"><").append(kind).append(">");
  out.append(value).append("</").append(kind).append("></property>");
}


}  // namespace

void arrayOfStringsToURLEncodedTildeExclamationDelimitedList(const std::vector<ListElement>& list,
                                                             std::string& out) {
  for (const ListElement& element : list) {
    if (const std::string* text = element.string()) {
      out.append(stringByAddingPercentEscapesIncludingAmpersandsAndCommas(*text)).append("~!");
    } else if (const std::vector<ListElement>* nested = element.list()) {
      arrayOfStringsToURLEncodedTildeExclamationDelimitedList(*nested, out);
    }
  }
}

std::string tildeList(const std::vector<ListElement>& list) {
  std::string out;
  arrayOfStringsToURLEncodedTildeExclamationDelimitedList(list, out);
  return out;
}

std::string arrayOfStringsToXmlStringList(const std::vector<std::string>& list) {
  std::string out(kXmlListHead);
  for (size_t i = 0; i < list.size(); ++i) {
    appendXmlProperty(out, i, "string", stringByAddingPercentEscapesIncludingAmpersandsAndCommas(list[i]));
  }
  appendXmlListLength(out, list.size());
  out.append(kXmlListTail);
  return out;
}

std::string arrayOfNumbersToXmlNumberList(const std::vector<int32_t>& list) {
  std::string out(kXmlListHead);
  for (size_t i = 0; i < list.size(); ++i) appendXmlProperty(out, i, "number", std::to_string(list[i]));
  appendXmlListLength(out, list.size());
  out.append(kXmlListTail);
  return out;
}

std::string commaList(const std::vector<int32_t>& list) {
  std::string out;
  for (int32_t number : list) out.append(std::to_string(number)).append(",");
  const size_t first = out.find_first_not_of(',');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(',') + 1 - first);
}

int32_t truncatedCoordinate(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMin = std::numeric_limits<int32_t>::min();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (value <= kMin) return std::numeric_limits<int32_t>::min();
  if (value >= kMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);  // truncates toward zero
}

namespace {

// The four edges, each coordinate truncated before the additions; the sums are
// taken in 64 bits so that clamped extremes cannot overflow.
struct Edges {
  int64_t left, top, right, bottom;
};

Edges edgesOf(const Rect& rect) {
  const int64_t left = truncatedCoordinate(rect.x);
  const int64_t top = truncatedCoordinate(rect.y);
  return {left, top, left + truncatedCoordinate(rect.width), top + truncatedCoordinate(rect.height)};
}

}  // namespace

std::string convertNSRectToStringList(const Rect& rect) {
  const Edges e = edgesOf(rect);
  return std::to_string(e.left) + "," + std::to_string(e.top) + "," + std::to_string(e.right) + "," +
         std::to_string(e.bottom);
}

std::string convertNSRectToXML(const Rect& rect) {
  const Edges e = edgesOf(rect);
  std::string out = "<object>";
  for (const auto& [name, value] : {std::pair<std::string_view, int64_t>{"bottom", e.bottom},
                                    {"top", e.top},
                                    {"right", e.right},
                                    {"left", e.left}}) {
    out.append("<property id=\"").append(name).append("\"><number>").append(std::to_string(value));
    out.append("</number></property>");
  }
  out.append("</object>");
  return out;
}

}  // namespace kw
