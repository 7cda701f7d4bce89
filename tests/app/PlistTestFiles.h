// Property-list texts for the tests: XML documents and hand-built binary
// plists whose object graphs are deep or heavily shared.
#pragma once

#include <cstdint>
#include <string>

namespace kw::test {

inline std::string xmlPlist(const std::string& root) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<plist version=\"1.0\">" +
         root + "</plist>\n";
}

inline std::string xmlDict(const std::string& body) { return xmlPlist("<dict>" + body + "</dict>"); }

inline std::string nestedXmlArrays(size_t depth) {
  std::string body;
  for (size_t i = 0; i < depth; ++i) body += "<array>";
  for (size_t i = 0; i < depth; ++i) body += "</array>";
  return xmlPlist(body);
}

// A binary plist of `links` arrays, each holding `branching` references to
// the next, ending in the integer 0: nesting `links` deep, and expanding to
// branching^links integers when shared objects are copied out.
inline std::string chainedBinaryPlist(uint32_t links, uint32_t branching) {
  const auto bigEndian = [](std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  std::string data = "bplist00";
  std::string offsets;
  for (uint32_t i = 0; i < links; ++i) {
    bigEndian(offsets, data.size(), 4);
    data += static_cast<char>(0xA0 | branching);
    for (uint32_t b = 0; b < branching; ++b) bigEndian(data, i + 1, 4);
  }
  bigEndian(offsets, data.size(), 4);
  data += std::string("\x10\x00", 2);
  const uint64_t tableOffset = data.size();
  data += offsets;
  data += std::string(6, '\0');
  data += static_cast<char>(4);  // offset size
  data += static_cast<char>(4);  // reference size
  bigEndian(data, links + 1, 8);
  bigEndian(data, 0, 8);
  bigEndian(data, tableOffset, 8);
  return data;
}

}  // namespace kw::test
