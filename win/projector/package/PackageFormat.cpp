// Encodings of the package records, the entry header and the configuration.
#include "win/projector/package/PackageFormat.h"

#include <algorithm>
#include <cstring>

namespace kw::orbalo {

namespace {

// Member for each configuration index, in order.
constexpr uint32_t ProjectorConfig::*kFields[kConfigFieldCount] = {
    &ProjectorConfig::resolutionCode,  &ProjectorConfig::extraFileCount, &ProjectorConfig::backgroundColour,
    &ProjectorConfig::alignmentCode,   &ProjectorConfig::windowX,        &ProjectorConfig::windowY,
    &ProjectorConfig::introSeconds,    &ProjectorConfig::outroSeconds,   &ProjectorConfig::unused8,
    &ProjectorConfig::hideCursor,      &ProjectorConfig::blockRightClick, &ProjectorConfig::hasBackground,
    &ProjectorConfig::unused12,        &ProjectorConfig::stretchPictures, &ProjectorConfig::useAlignment,
    &ProjectorConfig::unused15,        &ProjectorConfig::hasIntro,       &ProjectorConfig::hasOutro,
    &ProjectorConfig::escapeQuits,
};

constexpr std::string_view kFieldNames[kConfigFieldCount] = {
    "resolution", "extras",     "colour",     "alignment",  "x",          "y",        "intro-time",
    "outro-time", "unused8",    "hide-cursor", "block-right-click", "background", "unused12", "stretch",
    "use-alignment", "unused15", "intro",     "outro",      "escape-quits",
};

}  // namespace

std::string EntryHeader::Name() const {
  const auto end = std::find(name.begin(), name.end(), '\0');
  return std::string(name.begin(), end);
}

void EntryHeader::SetName(std::string_view text) {
  name.fill('\0');
  const size_t count = std::min(text.size(), kEntryNameSize - 1);
  std::copy_n(text.begin(), count, name.begin());
}

uint32_t ProjectorConfig::Get(size_t index) const {
  return index < kConfigFieldCount ? this->*kFields[index] : 0;
}

void ProjectorConfig::Set(size_t index, uint32_t value) {
  if (index < kConfigFieldCount) this->*kFields[index] = value;
}

std::array<uint8_t, kConfigSize> ProjectorConfig::ToBytes() const {
  std::array<uint8_t, kConfigSize> bytes{};
  for (size_t i = 0; i < kConfigFieldCount; ++i) WriteLe32(bytes.data() + 4 * i, Get(i));
  return bytes;
}

std::optional<ProjectorConfig> ProjectorConfig::FromBytes(const uint8_t* data, size_t length) {
  if (data == nullptr || length < kConfigSize) return std::nullopt;
  ProjectorConfig config;
  for (size_t i = 0; i < kConfigFieldCount; ++i) config.Set(i, ReadLe32(data + 4 * i));
  return config;
}

std::string_view ConfigFieldName(size_t index) {
  return index < kConfigFieldCount ? kFieldNames[index] : std::string_view();
}

std::optional<size_t> ConfigFieldIndex(std::string_view name) {
  for (size_t i = 0; i < kConfigFieldCount; ++i) {
    if (kFieldNames[i] == name) return i;
  }
  return std::nullopt;
}

uint32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLe32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}

std::array<uint8_t, kRecordSize> EncodeRecord(const EntryRecord& record) {
  std::array<uint8_t, kRecordSize> bytes{};
  WriteLe32(bytes.data(), record.id);
  WriteLe32(bytes.data() + 4, record.size);
  WriteLe32(bytes.data() + 8, record.next);
  return bytes;
}

EntryRecord DecodeRecord(const uint8_t* bytes) {
  return EntryRecord{ReadLe32(bytes), ReadLe32(bytes + 4), ReadLe32(bytes + 8)};
}

std::array<uint8_t, kEntryHeaderSize> EncodeHeader(const EntryHeader& header) {
  std::array<uint8_t, kEntryHeaderSize> bytes{};
  WriteLe32(bytes.data(), header.compressed);
  WriteLe32(bytes.data() + 4, header.fileLength);
  WriteLe32(bytes.data() + 8, header.copyLength);
  std::memcpy(bytes.data() + 12, header.name.data(), kEntryNameSize);
  return bytes;
}

EntryHeader DecodeHeader(const uint8_t* bytes) {
  EntryHeader header;
  header.compressed = ReadLe32(bytes);
  header.fileLength = ReadLe32(bytes + 4);
  header.copyLength = ReadLe32(bytes + 8);
  std::memcpy(header.name.data(), bytes + 12, kEntryNameSize);
  return header;
}

}  // namespace kw::orbalo
