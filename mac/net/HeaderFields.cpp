// Header block parsing: see HeaderFields.h.
#include "mac/net/HeaderFields.h"

namespace kw {
namespace {

constexpr uint8_t kCR = 0x0D;
constexpr uint8_t kLF = 0x0A;

struct Line {
  size_t start;
  size_t length;
  size_t next;  // where the following line starts
};

// The line beginning at `start`; none when no line end follows.
std::optional<Line> lineAt(ByteSpan bytes, size_t start) {
  for (size_t i = start; i < bytes.size(); ++i) {
    if (bytes[i] == kLF) return Line{start, i - start, i + 1};
    if (bytes[i] == kCR && i + 1 < bytes.size()) {
      return Line{start, i - start, bytes[i + 1] == kLF ? i + 2 : i + 1};
    }
  }
  return std::nullopt;
}

}  // namespace

HeaderFields parseRFC822HeaderFields(ByteSpan bytes) {
  HeaderFields fields;
  HeaderFields::iterator lastField = fields.end();
  size_t position = 0;
  while (const std::optional<Line> line = lineAt(bytes, position)) {
    position = line->next;
    const ByteSpan text = bytes.subspan(line->start, line->length);
    if (text.empty()) break;

    if (text[0] == ' ' || text[0] == '\t') {
      if (lastField != fields.end()) lastField->second += stringWithISOLatin1(text);
      continue;
    }

    size_t colon = 0;
    while (colon < text.size() && text[colon] != ':') ++colon;
    if (colon == text.size()) continue;

    size_t valueStart = colon + 1;
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
    std::string name = capitalizeRFC822HeaderFieldName(stringWithISOLatin1(text.first(colon)));
    std::string value = stringWithISOLatin1(text.subspan(valueStart));

    auto [field, inserted] = fields.try_emplace(std::move(name), value);
    if (!inserted) field->second += ", " + value;
    lastField = field;
  }
  return fields;
}

std::string capitalizeRFC822HeaderFieldName(std::string_view name) {
  std::string out(name);
  bool partStart = true;
  for (char& c : out) {
    if (partStart && c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (!partStart && c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    partStart = c == '-';
  }
  return out;
}

bool startsWithBlankLine(ByteSpan bytes) { return !bytes.empty() && bytes[0] == kLF; }

std::optional<size_t> locationAfterFirstBlankLine(ByteSpan bytes) {
  const size_t length = bytes.size();
  for (size_t i = 0; i + 4 < length; ++i) {
    if (bytes[i] == kLF && bytes[i + 1] == kLF) return i + 2;
    if (bytes[i] == kCR && bytes[i + 1] == kLF) {
      i += 2;  // i + 2 < length still holds, so bytes i and i + 1 exist
      if (i == 2) return 2;
      if (bytes[i] == kLF) return i + 1;
      if (bytes[i] == kCR && bytes[i + 1] == kLF) return i + 2;
    }
  }
  return std::nullopt;
}

}  // namespace kw
