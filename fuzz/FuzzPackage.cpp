// Fuzzes orbalo's PackageReader: arbitrary bytes as a file, located (with the
// empty-package append), walked, read and extracted into a temporary folder.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "win/projector/package/PackageReader.h"

namespace {

const std::filesystem::path& WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "fuzz-package-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kw::orbalo;
  const std::filesystem::path file = WorkFolder() / "input.exe";
  const std::filesystem::path out = WorkFolder() / "out";
  std::error_code ignored;
  std::filesystem::remove_all(out, ignored);
  std::filesystem::create_directories(out / "fscommand", ignored);
  {
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  PackageReader reader(file.string());
  if (!reader.IsValid()) return 0;
  const std::string folder = out.string() + "/";
  for (const auto& item : reader.Walk()) {
    const uint32_t id = item.record.id;
    if (auto payload = reader.ReadEntry(id)) {
      if (id == kEntryConfig) (void)ProjectorConfig::FromBytes(payload->data(), payload->size());
    }
    EntryHeader header;
    if (reader.ReadEntryHeader(id, header)) (void)header.Name();
    (void)reader.ExtractEntry(id, folder, &header);
  }
  (void)reader.FindEntry(kPackageMagic);
  // Nothing may land outside the output folder.
  for (const auto& entry : std::filesystem::directory_iterator(WorkFolder())) {
    const std::string name = entry.path().filename().string();
    if (name != "input.exe" && name != "out") abort();
  }
  return 0;
}
