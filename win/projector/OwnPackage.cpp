// Opens the package behind the running executable and reads its configuration.
#include "win/projector/OwnPackage.h"

#include "win/projector/SystemPaths.h"

namespace kw::orbalo {

PackageReader OwnPackage() {
  PackageReader reader;
  const std::string self = ExecutablePath(kMaxPathBytes);
  if (!self.empty()) reader.Open(self);
  return reader;
}

std::optional<ProjectorConfig> ReadOwnConfig() {
  const std::optional<std::vector<uint8_t>> payload = OwnPackage().ReadEntry(kEntryConfig);
  if (!payload) return std::nullopt;
  return ProjectorConfig::FromBytes(payload->data(), payload->size());
}

}  // namespace kw::orbalo
