// Writes a content package in one pass behind a host image: start magic,
// entries back to back (each `next` = record offset + 12 + size), trailer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo {

// zlib stream (RFC 1950) of `data` at the default level.
std::vector<uint8_t> CompressZlib(const uint8_t* data, size_t length);

class PackageWriter {
 public:
  // `out` is positioned at the end of the host image, whose length is the
  // package offset P. The start magic is written at once.
  PackageWriter(std::FILE* out, uint64_t hostLength);

  // Entry 1: the bare 76-byte configuration, no header.
  bool AddConfig(const ProjectorConfig& config);
  // A file entry: EntryHeader (both lengths = data length) + data, zlib
  // compressed unless `store`.
  bool AddFile(uint32_t id, std::string_view name, const std::vector<uint8_t>& data, bool store);
  // Any payload as is.
  bool AddRaw(uint32_t id, const uint8_t* payload, size_t length);
  // Writes the trailer {magic, P, 0}; false when any step failed.
  bool Finish();

  bool ok() const { return ok_; }

 private:
  bool Write(const void* bytes, size_t length);
  std::FILE* out_;
  uint64_t packageOffset_;
  uint64_t position_;
  bool ok_ = true;
};

}  // namespace kw::orbalo
