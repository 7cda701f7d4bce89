// Byte layout of the content package appended behind orbalo.exe: the records,
// the entry header, the nineteen-field configuration and their encodings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kw::orbalo {

// Start magic and trailer magic (bytes EE FF CA 74).
inline constexpr uint32_t kPackageMagic = 0x74CAFFEEu;
inline constexpr size_t kRecordSize = 12;        // EntryRecord and PackageTrailer
inline constexpr size_t kEntryHeaderSize = 76;   // EntryHeader
inline constexpr size_t kConfigSize = 76;        // ProjectorConfig
inline constexpr size_t kEntryNameSize = 64;     // EntryHeader::name, NUL-terminated
inline constexpr size_t kEmptyPackageSize = 4 + kRecordSize;
inline constexpr size_t kCopyBufferSize = 0x80000;  // 512 KiB, both copy buffers
inline constexpr size_t kMaxPathBytes = 512;        // reader's path and target path limit

// Entry ids.
inline constexpr uint32_t kEntryConfig = 1;
inline constexpr uint32_t kEntryRuntime = 2;      // ORBALORT.DLL
inline constexpr uint32_t kEntryBackground = 3;   // JPEG
inline constexpr uint32_t kEntryIntro = 4;        // JPEG
inline constexpr uint32_t kEntryOutro = 5;        // JPEG
inline constexpr uint32_t kEntryPlayer = 7;       // movie player program
inline constexpr uint32_t kEntryFirstExtra = 8;   // 8, 9, ... (count: config field 1)

inline constexpr const char* kRuntimeLibraryName = "ORBALORT.DLL";

struct EntryRecord {
  uint32_t id = 0;
  uint32_t size = 0;  // payload bytes after the record
  uint32_t next = 0;  // absolute offset of the next record; 0 ends the chain
};

struct PackageTrailer {
  uint32_t magic = kPackageMagic;
  uint32_t packageOffset = 0;  // P, offset of the start magic
  uint32_t zero = 0;
};

struct EntryHeader {
  uint32_t compressed = 0;  // non-zero: one zlib stream follows
  uint32_t fileLength = 0;  // extracted length
  uint32_t copyLength = 0;  // same value; used to copy a stored file
  std::array<char, kEntryNameSize> name{};  // NUL-terminated, stray bytes after it

  // The name up to its NUL (at most 64 bytes when there is none).
  std::string Name() const;
  // Sets the name (cut to 63 bytes) and clears the rest of the field.
  void SetName(std::string_view text);
};

// The nineteen 32-bit configuration fields, index 0 first.
enum ConfigIndex : size_t {
  kResolutionCode = 0,
  kExtraFileCount = 1,
  kBackgroundColour = 2,   // 0x00BBGGRR
  kAlignmentCode = 3,
  kWindowX = 4,            // used when kUseAlignment is 0
  kWindowY = 5,
  kIntroSeconds = 6,
  kOutroSeconds = 7,
  kUnused8 = 8,
  kHideCursor = 9,
  kBlockRightClick = 10,
  kHasBackground = 11,     // entry 3 present
  kUnused12 = 12,
  kStretchPictures = 13,
  kUseAlignment = 14,      // place the player window by kAlignmentCode
  kUnused15 = 15,
  kHasIntro = 16,          // entry 4 present
  kHasOutro = 17,          // entry 5 present
  kEscapeQuits = 18,
  kConfigFieldCount = 19,
};

struct ProjectorConfig {
  uint32_t resolutionCode = 3;
  uint32_t extraFileCount = 0;
  uint32_t backgroundColour = 0;
  uint32_t alignmentCode = 0;
  uint32_t windowX = 0;
  uint32_t windowY = 0;
  uint32_t introSeconds = 3;
  uint32_t outroSeconds = 3;
  uint32_t unused8 = 1;
  uint32_t hideCursor = 1;
  uint32_t blockRightClick = 1;
  uint32_t hasBackground = 0;
  uint32_t unused12 = 1;
  uint32_t stretchPictures = 0;
  uint32_t useAlignment = 1;
  uint32_t unused15 = 1;
  uint32_t hasIntro = 0;
  uint32_t hasOutro = 0;
  uint32_t escapeQuits = 0;
  // The defaults above are the values of the shipped package.

  uint32_t Get(size_t index) const;          // 0 for an index out of range
  void Set(size_t index, uint32_t value);    // ignored out of range

  std::array<uint8_t, kConfigSize> ToBytes() const;
  // Needs at least 76 bytes; extra bytes are ignored.
  static std::optional<ProjectorConfig> FromBytes(const uint8_t* data, size_t length);

  bool operator==(const ProjectorConfig&) const = default;
};

// Readable field names ("resolution", "extras", "colour", ...), by index.
std::string_view ConfigFieldName(size_t index);
std::optional<size_t> ConfigFieldIndex(std::string_view name);

// Little-endian encoding of the records.
uint32_t ReadLe32(const uint8_t* bytes);
void WriteLe32(uint8_t* bytes, uint32_t value);
std::array<uint8_t, kRecordSize> EncodeRecord(const EntryRecord& record);
EntryRecord DecodeRecord(const uint8_t* bytes);
std::array<uint8_t, kEntryHeaderSize> EncodeHeader(const EntryHeader& header);
EntryHeader DecodeHeader(const uint8_t* bytes);

}  // namespace kw::orbalo
