// One-pass package writer used by the packaging tool and the tests.
#include "win/projector/package/PackageWriter.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace kw::orbalo {

std::vector<uint8_t> CompressZlib(const uint8_t* data, size_t length) {
  z_stream stream{};
  if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) throw std::runtime_error("deflateInit failed");
  std::vector<uint8_t> out;
  uint8_t buffer[1 << 16];
  stream.next_in = const_cast<Bytef*>(data);  // zlib's input pointer is not const
  size_t remaining = length;
  int result = Z_OK;
  do {
    const size_t chunk = std::min<size_t>(remaining, 1u << 30);
    stream.avail_in = static_cast<uInt>(chunk);
    remaining -= chunk;
    const int flush = remaining == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = buffer;
      stream.avail_out = sizeof buffer;
      result = deflate(&stream, flush);
      out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    } while (stream.avail_out == 0);
  } while (result != Z_STREAM_END && result >= 0);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

PackageWriter::PackageWriter(std::FILE* out, uint64_t hostLength)
    : out_(out), packageOffset_(hostLength), position_(hostLength) {
  ok_ = out_ != nullptr && hostLength > 0 && hostLength <= UINT32_MAX;
  uint8_t magic[4];
  WriteLe32(magic, kPackageMagic);
  Write(magic, sizeof magic);
}

bool PackageWriter::Write(const void* bytes, size_t length) {
  if (!ok_) return false;
  if (position_ + length > UINT32_MAX - kRecordSize || std::fwrite(bytes, 1, length, out_) != length) {
    ok_ = false;
    return false;
  }
  position_ += length;
  return true;
}

bool PackageWriter::AddRaw(uint32_t id, const uint8_t* payload, size_t length) {
  if (!ok_ || length > UINT32_MAX) return ok_ = false;
  const uint64_t next = position_ + kRecordSize + length;
  if (next > UINT32_MAX) return ok_ = false;
  const auto record =
      EncodeRecord(EntryRecord{id, static_cast<uint32_t>(length), static_cast<uint32_t>(next)});
  return Write(record.data(), record.size()) && Write(payload, length);
}

bool PackageWriter::AddConfig(const ProjectorConfig& config) {
  const auto bytes = config.ToBytes();
  return AddRaw(kEntryConfig, bytes.data(), bytes.size());
}

bool PackageWriter::AddFile(uint32_t id, std::string_view name, const std::vector<uint8_t>& data, bool store) {
  if (!ok_ || data.size() > UINT32_MAX) return ok_ = false;
  EntryHeader header;
  header.compressed = store ? 0 : 1;
  header.fileLength = static_cast<uint32_t>(data.size());
  header.copyLength = header.fileLength;
  header.SetName(name);
  const std::vector<uint8_t> packed = store ? std::vector<uint8_t>() : CompressZlib(data.data(), data.size());
  const std::vector<uint8_t>& body = store ? data : packed;
  const auto headerBytes = EncodeHeader(header);
  std::vector<uint8_t> payload(headerBytes.begin(), headerBytes.end());
  payload.insert(payload.end(), body.begin(), body.end());
  return AddRaw(id, payload.data(), payload.size());
}

bool PackageWriter::Finish() {
  const auto trailer = EncodeRecord(EntryRecord{kPackageMagic, static_cast<uint32_t>(packageOffset_), 0});
  return Write(trailer.data(), trailer.size());
}

}  // namespace kw::orbalo
