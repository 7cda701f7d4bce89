// Reads the content package at the end of a file: locates it through the
// trailer, walks the entry chain, reads payloads and extracts files.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo {

struct FileCloser {
  void operator()(std::FILE* file) const;
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// An entry found by FindEntry: the open file positioned at the first payload
// byte, and the record's size. Closing is the owner's (the handle does it).
struct FoundEntry {
  FileHandle file;
  uint32_t size = 0;
  uint64_t payloadOffset = 0;
};

// What Locate does with a file that has no package.
enum class MissingPackage {
  kAppendEmpty,  // append the 16-byte empty package (the projector's way)
  kLeaveAlone,   // report no package and do not touch the file (tools)
};

// A small value object: validity, the file's path and the package offset P.
// No file stays open between operations. The projector passes the path of its
// own executable (GetModuleFileNameA); this code makes no system calls.
class PackageReader {
 public:
  PackageReader() = default;
  explicit PackageReader(const std::string& path, MissingPackage missing = MissingPackage::kAppendEmpty) {
    Open(path, missing);
  }

  // Checks that the file opens for reading, keeps the path (up to 511 bytes)
  // and runs Locate. Valid when Locate returned a non-zero offset.
  bool Open(const std::string& path, MissingPackage missing = MissingPackage::kAppendEmpty);
  bool IsValid() const { return valid_; }
  uint32_t PackageOffset() const { return packageOffset_; }
  const std::string& Path() const { return path_; }

  // P, or 0 when there is no package and none could be appended.
  uint32_t Locate(MissingPackage missing = MissingPackage::kAppendEmpty) const;

  // The first entry in the chain with this id; the trailer is never matched.
  // The walk ends at a `next` that loops back, points outside the file or
  // before the package; an entry whose payload runs past the end of the file
  // is not returned.
  std::optional<FoundEntry> FindEntry(uint32_t id) const;

  // The whole payload (`size` bytes).
  std::optional<std::vector<uint8_t>> ReadEntry(uint32_t id) const;

  // Fills `header` (its name is cleared first); true when the entry exists and
  // holds a full header.
  bool ReadEntryHeader(uint32_t id, EntryHeader& header) const;

  // Writes the entry's file to folder + name (folder used as it stands, so it
  // ends in a separator). Refuses names that are empty, absolute, carry a
  // drive letter or a ".." component, and targets of 512 bytes or more.
  // `header`, when given, receives the header read on the way.
  bool ExtractEntry(uint32_t id, const std::string& folder, EntryHeader* header = nullptr) const;

  // Every record of the chain in order, stopping where FindEntry's walk
  // stops, with the first bytes of each payload (up to 76: the entry header or
  // the configuration). For listing tools.
  struct ChainItem {
    EntryRecord record;
    uint64_t payloadOffset = 0;
    std::array<uint8_t, kEntryHeaderSize> head{};
    size_t headLength = 0;  // bytes of `head` present in the file
  };
  std::vector<ChainItem> Walk() const;

 private:
  bool valid_ = false;
  std::string path_;
  uint32_t packageOffset_ = 0;
};

// True when `name` may be appended to an extraction folder: not empty, not
// absolute (no leading slash or backslash), no colon (drive letters, streams),
// no component made only of dots and spaces with two or more dots (".." and
// what Windows trims to it), no control bytes. Both separators count.
bool IsSafeEntryName(const std::string& name);

}  // namespace kw::orbalo
