// Test helpers that lay out package bytes by hand, so tests can build both
// well-formed packages and the broken ones a writer would never produce.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "win/projector/package/PackageFormat.h"
#include "win/projector/package/PackageWriter.h"

namespace kw::orbalo::test {

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& bytes, size_t offset, uint32_t value) { WriteLe32(bytes.data() + offset, value); }
inline uint32_t Get32(const Bytes& bytes, size_t offset) { return ReadLe32(bytes.data() + offset); }

inline Bytes HostImage(size_t length) {
  Bytes host(length);
  for (size_t i = 0; i < length; ++i) host[i] = static_cast<uint8_t>('M' + i % 7);
  return host;
}

// Bytes with little repetition, so compression and copies are checked byte by byte.
inline Bytes Pattern(size_t length, uint32_t seed = 1) {
  Bytes bytes(length);
  uint32_t state = seed;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

struct RawEntry {
  uint32_t id;
  Bytes payload;
};

// Offsets of each record in a package built by BuildPackage.
inline std::vector<size_t> RecordOffsets(size_t hostLength, const std::vector<RawEntry>& entries) {
  std::vector<size_t> offsets;
  size_t offset = hostLength + 4;
  for (const auto& entry : entries) {
    offsets.push_back(offset);
    offset += kRecordSize + entry.payload.size();
  }
  offsets.push_back(offset);  // the trailer
  return offsets;
}

// Host + start magic + entries back to back + trailer.
inline Bytes BuildPackage(const Bytes& host, const std::vector<RawEntry>& entries) {
  Bytes out = host;
  const auto offsets = RecordOffsets(host.size(), entries);
  auto append32 = [&out](uint32_t value) {
    out.resize(out.size() + 4);
    Put32(out, out.size() - 4, value);
  };
  append32(kPackageMagic);
  for (size_t i = 0; i < entries.size(); ++i) {
    append32(entries[i].id);
    append32(static_cast<uint32_t>(entries[i].payload.size()));
    append32(static_cast<uint32_t>(offsets[i + 1]));
    out.insert(out.end(), entries[i].payload.begin(), entries[i].payload.end());
  }
  append32(kPackageMagic);
  append32(static_cast<uint32_t>(host.size()));
  append32(0);
  return out;
}

// EntryHeader + data, compressed with zlib when asked.
inline Bytes FilePayload(const std::string& name, const Bytes& data, bool compress) {
  EntryHeader header;
  header.compressed = compress ? 1 : 0;
  header.fileLength = static_cast<uint32_t>(data.size());
  header.copyLength = header.fileLength;
  header.SetName(name);
  const auto head = EncodeHeader(header);
  Bytes out(head.begin(), head.end());
  const Bytes body = compress ? CompressZlib(data.data(), data.size()) : data;
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes ConfigPayload(const ProjectorConfig& config) {
  const auto bytes = config.ToBytes();
  return Bytes(bytes.begin(), bytes.end());
}

}  // namespace kw::orbalo::test
