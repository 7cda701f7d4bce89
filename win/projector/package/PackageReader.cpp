// The package reader: trailer check, empty-package append, bounded chain walk,
// payload reads and extraction through two fixed 512 KiB buffers.
#include "win/projector/package/PackageReader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <new>

namespace kw::orbalo {

void FileCloser::operator()(std::FILE* file) const {
  if (file != nullptr) std::fclose(file);
}

namespace {

FileHandle OpenFile(const std::string& path, const char* mode) { return FileHandle(std::fopen(path.c_str(), mode)); }

bool SeekTo(std::FILE* file, uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  static_assert(sizeof(long) >= 8, "offsets past 2 GiB need a 64-bit long");
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0;
#endif
}

std::optional<uint64_t> LengthOf(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
  const __int64 end = _ftelli64(file);
#else
  if (std::fseek(file, 0, SEEK_END) != 0) return std::nullopt;
  const long end = std::ftell(file);
#endif
  if (end < 0) return std::nullopt;
  return static_cast<uint64_t>(end);
}

bool ReadExact(std::FILE* file, void* buffer, size_t length) {
  return length == 0 || std::fread(buffer, 1, length, file) == length;
}

bool WriteExact(std::FILE* file, const void* buffer, size_t length) {
  return length == 0 || std::fwrite(buffer, 1, length, file) == length;
}

bool ReadWord(std::FILE* file, uint32_t& word) {
  uint8_t bytes[4];
  if (!ReadExact(file, bytes, sizeof bytes)) return false;
  word = ReadLe32(bytes);
  return true;
}

// Walks the chain of the package at `p` in an open file of `length` bytes and
// calls visit(record, recordOffset) for each record that is not the end of
// the chain, until visit returns true. Returns false when the start magic is
// missing. Ends at a `next` outside [p + 4, length - 12] and at a loop
// (Brent's cycle check, so a loop of any length is caught in bounded time
// and constant memory).
template <typename Visit>
bool WalkChain(std::FILE* file, uint32_t p, uint64_t length, Visit visit) {
  uint32_t magic = 0;
  if (!SeekTo(file, p) || !ReadWord(file, magic) || magic != kPackageMagic) return false;
  const uint64_t first = uint64_t{p} + 4;
  uint64_t offset = first;
  uint64_t tortoise = offset;
  uint64_t power = 1;
  uint64_t steps = 0;
  for (;;) {
    if (offset + kRecordSize > length) return true;
    uint8_t bytes[kRecordSize];
    if (!SeekTo(file, offset) || !ReadExact(file, bytes, sizeof bytes)) return true;
    const EntryRecord record = DecodeRecord(bytes);
    if (record.next == 0) return true;  // the trailer, never matched
    if (visit(record, offset)) return true;
    if (record.next < first || uint64_t{record.next} + kRecordSize > length) return true;
    offset = record.next;
    if (offset == tortoise) return true;  // the chain loops
    if (++steps == power) {
      tortoise = offset;
      power *= 2;
      steps = 0;
    }
  }
}

template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// Copies `length` stored bytes: full 512 KiB chunks, then the remainder.
bool CopyStored(std::FILE* in, std::FILE* out, uint32_t length, uint8_t* buffer) {
  const uint32_t fullChunks = length >> 19;
  const uint32_t remainder = length & 0x7FFFFu;
  for (uint32_t i = 0; i < fullChunks; ++i) {
    if (!ReadExact(in, buffer, kCopyBufferSize) || !WriteExact(out, buffer, kCopyBufferSize)) return false;
  }
  return ReadExact(in, buffer, remainder) && WriteExact(out, buffer, remainder);
}

// Inflates one zlib stream from at most `available` input bytes. Output past
// `limit` bytes (the declared file length) counts as a corrupt entry.
bool Inflate(std::FILE* in, std::FILE* out, uint64_t available, uint64_t limit, uint8_t* inBuffer,
             uint8_t* outBuffer) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  bool ok = true;
  uint64_t produced = 0;
  int result = Z_OK;
  while (ok && result != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      if (available == 0) {
        ok = false;  // the stream is cut short by the entry's end
        break;
      }
      const size_t count = static_cast<size_t>(std::min<uint64_t>(available, kCopyBufferSize));
      if (!ReadExact(in, inBuffer, count)) {
        ok = false;
        break;
      }
      available -= count;
      stream.next_in = inBuffer;
      stream.avail_in = static_cast<uInt>(count);
    }
    do {
      stream.next_out = outBuffer;
      stream.avail_out = static_cast<uInt>(kCopyBufferSize);
      result = inflate(&stream, Z_NO_FLUSH);
      if (result == Z_BUF_ERROR && stream.avail_in == 0) break;  // wants more input
      if (result < 0 || result == Z_NEED_DICT) {
        ok = false;
        break;
      }
      const size_t have = kCopyBufferSize - stream.avail_out;
      produced += have;
      if (produced > limit || !WriteExact(out, outBuffer, have)) {
        ok = false;
        break;
      }
    } while (stream.avail_out == 0 && result != Z_STREAM_END);
  }
  inflateEnd(&stream);
  return ok;
}

bool IsDotsComponent(const std::string& name, size_t begin, size_t end) {
  size_t dots = 0;
  for (size_t i = begin; i < end; ++i) {
    if (name[i] == '.') {
      ++dots;
    } else if (name[i] != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == ':') return false;
  }
  size_t begin = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '/' || name[i] == '\\') {
      if (IsDotsComponent(name, begin, i)) return false;
      begin = i + 1;
    }
  }
  return true;
}

bool PackageReader::Open(const std::string& path, MissingPackage missing) {
  valid_ = false;
  packageOffset_ = 0;
  path_.clear();
  if (path.empty() || path.size() >= kMaxPathBytes) return false;
  if (!OpenFile(path, "rb")) return false;
  path_ = path;
  packageOffset_ = Locate(missing);
  valid_ = packageOffset_ != 0;
  return valid_;
}

uint32_t PackageReader::Locate(MissingPackage missing) const {
  {
    FileHandle file = OpenFile(path_, "rb");
    if (!file) return 0;
    const std::optional<uint64_t> length = LengthOf(file.get());
    uint8_t bytes[kRecordSize];
    if (length && *length >= kRecordSize && SeekTo(file.get(), *length - kRecordSize) &&
        ReadExact(file.get(), bytes, sizeof bytes)) {
      const EntryRecord trailer = DecodeRecord(bytes);
      uint32_t magic = 0;
      if (trailer.id == kPackageMagic && trailer.next == 0 &&
          uint64_t{trailer.size} + 4 <= *length - kRecordSize && SeekTo(file.get(), trailer.size) &&
          ReadWord(file.get(), magic) && magic == kPackageMagic) {
        return trailer.size;  // 0 counts as no package
      }
    }
  }
  if (missing == MissingPackage::kLeaveAlone) return 0;

  // No package: append the empty one (start magic + trailer).
  FileHandle file = OpenFile(path_, "r+b");
  if (!file) return 0;
  const std::optional<uint64_t> length = LengthOf(file.get());
  if (!length || *length > UINT32_MAX - kEmptyPackageSize) return 0;
  const uint32_t p = static_cast<uint32_t>(*length);
  uint8_t bytes[kEmptyPackageSize];
  WriteLe32(bytes, kPackageMagic);
  const auto trailer = EncodeRecord(EntryRecord{kPackageMagic, p, 0});
  std::copy(trailer.begin(), trailer.end(), bytes + 4);
  if (!SeekTo(file.get(), p) || !WriteExact(file.get(), bytes, sizeof bytes)) return 0;
  if (std::fclose(file.release()) != 0) return 0;
  return p;
}

std::optional<FoundEntry> PackageReader::FindEntry(uint32_t id) const {
  if (!valid_) return std::nullopt;
  FileHandle file = OpenFile(path_, "rb");
  if (!file) return std::nullopt;
  const std::optional<uint64_t> length = LengthOf(file.get());
  if (!length) return std::nullopt;
  std::optional<FoundEntry> found;
  WalkChain(file.get(), packageOffset_, *length, [&](const EntryRecord& record, uint64_t offset) {
    if (record.id != id) return false;
    const uint64_t payload = offset + kRecordSize;
    // A size that runs past the end of the file is a lie: nothing found.
    if (payload + record.size <= *length) found = FoundEntry{nullptr, record.size, payload};
    return true;
  });
  if (!found || !SeekTo(file.get(), found->payloadOffset)) return std::nullopt;
  found->file = std::move(file);
  return found;
}

std::optional<std::vector<uint8_t>> PackageReader::ReadEntry(uint32_t id) const {
  std::optional<FoundEntry> found = FindEntry(id);
  if (!found) return std::nullopt;
  try {
    std::vector<uint8_t> payload(found->size);
    if (!ReadExact(found->file.get(), payload.data(), payload.size())) return std::nullopt;
    return payload;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool PackageReader::ReadEntryHeader(uint32_t id, EntryHeader& header) const {
  header = EntryHeader{};
  std::optional<FoundEntry> found = FindEntry(id);
  if (!found || found->size < kEntryHeaderSize) return false;
  uint8_t bytes[kEntryHeaderSize];
  if (!ReadExact(found->file.get(), bytes, sizeof bytes)) return false;
  header = DecodeHeader(bytes);
  return true;
}

bool PackageReader::ExtractEntry(uint32_t id, const std::string& folder, EntryHeader* headerOut) const {
  std::optional<FoundEntry> found = FindEntry(id);
  if (!found || found->size < kEntryHeaderSize) return false;
  const std::unique_ptr<uint8_t[]> outBuffer = TryAllocate<uint8_t>(kCopyBufferSize);
  if (!outBuffer) return false;
  uint8_t bytes[kEntryHeaderSize];
  if (!ReadExact(found->file.get(), bytes, sizeof bytes)) return false;
  const EntryHeader header = DecodeHeader(bytes);
  if (headerOut != nullptr) *headerOut = header;

  std::string name = header.Name();
  if (!IsSafeEntryName(name)) return false;
#if !defined(_WIN32)
  std::replace(name.begin(), name.end(), '\\', '/');  // sub-folder names use backslashes
#endif
  const std::string target = folder + name;
  if (target.size() >= kMaxPathBytes) return false;
  const uint64_t dataLength = found->size - kEntryHeaderSize;
  // A stored copy length beyond the entry would read the following entries.
  if (header.compressed == 0 && header.copyLength > dataLength) return false;

  FileHandle out = OpenFile(target, "wb");
  if (!out) return false;
  bool ok = false;
  if (header.compressed != 0) {
    const std::unique_ptr<uint8_t[]> inBuffer = TryAllocate<uint8_t>(kCopyBufferSize);
    ok = inBuffer && Inflate(found->file.get(), out.get(), dataLength, header.fileLength, inBuffer.get(),
                             outBuffer.get());
  } else {
    ok = CopyStored(found->file.get(), out.get(), header.copyLength, outBuffer.get());
  }
  const bool closed = std::fclose(out.release()) == 0;
  return ok && closed;
}

std::vector<PackageReader::ChainItem> PackageReader::Walk() const {
  std::vector<ChainItem> items;
  if (!valid_) return items;
  FileHandle file = OpenFile(path_, "rb");
  if (!file) return items;
  const std::optional<uint64_t> length = LengthOf(file.get());
  if (!length) return items;
  std::vector<EntryRecord> records;
  std::vector<uint64_t> offsets;
  WalkChain(file.get(), packageOffset_, *length, [&](const EntryRecord& record, uint64_t offset) {
    records.push_back(record);
    offsets.push_back(offset + kRecordSize);
    return false;
  });
  for (size_t i = 0; i < records.size(); ++i) {
    ChainItem item{records[i], offsets[i], {}, 0};
    const uint64_t inFile = offsets[i] < *length ? *length - offsets[i] : 0;
    item.headLength = static_cast<size_t>(std::min<uint64_t>({records[i].size, kEntryHeaderSize, inFile}));
    if (!SeekTo(file.get(), item.payloadOffset) || !ReadExact(file.get(), item.head.data(), item.headLength)) {
      item.headLength = 0;
    }
    items.push_back(item);
  }
  return items;
}

}  // namespace kw::orbalo
