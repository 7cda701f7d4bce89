// Encodings of lists and rectangles inside reply values and events: the tilde
// list ("a~!b~!"), XML lists of strings and of numbers, the comma list, a
// rectangle as list and as XML; and the substring test the commands share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kw {

// One element of a list handed to the tilde encoder: a string, a nested list
// (flattened into the same text), or any other value (skipped).
class ListElement {
 public:
  struct Other {};
  ListElement() = default;  // a value that is neither string nor list
  ListElement(std::string text) : value_(std::move(text)) {}
  ListElement(std::string_view text) : value_(std::string(text)) {}
  ListElement(const char* text) : value_(std::string(text)) {}
  ListElement(std::vector<ListElement> list) : value_(std::move(list)) {}

  const std::string* string() const { return std::get_if<std::string>(&value_); }
  const std::vector<ListElement>* list() const { return std::get_if<std::vector<ListElement>>(&value_); }

 private:
  std::variant<Other, std::string, std::vector<ListElement>> value_;
};

// `arrayOfStringsToURLEncodedTildeExclamationDelimitedList`: appends each
// string, percent-escaped (ampersands and commas too) and followed by "~!".
void arrayOfStringsToURLEncodedTildeExclamationDelimitedList(const std::vector<ListElement>& list,
                                                             std::string& out);
std::string tildeList(const std::vector<ListElement>& list);

// `arrayOfStringsToXmlStringList`: the "KW_array" object of escaped strings.
std::string arrayOfStringsToXmlStringList(const std::vector<std::string>& list);
// The same envelope carrying numbers.
std::string arrayOfNumbersToXmlNumberList(const std::vector<int32_t>& list);

// "1,2,3": each number followed by ",", then the commas at both ends removed.
std::string commaList(const std::vector<int32_t>& list);

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
};

// A coordinate truncated toward zero; NaN gives 0 and values beyond the 32-bit
// range are clamped to it.
int32_t truncatedCoordinate(double value);

// `convertNSRectToStringList`: "left,top,right,bottom".
std::string convertNSRectToStringList(const Rect& rect);
// `convertNSRectToXML`: an object with bottom, top, right and left properties.
std::string convertNSRectToXML(const Rect& rect);


}  // namespace kw
