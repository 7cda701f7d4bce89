// The request record: see CocoaInterfaceData.h.
#include "mac/commands/CocoaInterfaceData.h"

namespace kw {

std::unique_ptr<CocoaInterfaceData> CocoaInterfaceData::create(uint32_t nowTicks, FlashPlugin* requester,
                                                               const std::filesystem::path& movieSpec) {
  auto record = std::make_unique<CocoaInterfaceData>();
  record->requester = requester;
  record->startTicks = nowTicks;
  record->deadlineTicks = nowTicks + kDefaultDeadlineTicks;
  record->movieSpec = movieSpec;
  return record;
}

std::optional<std::string>* CocoaInterfaceData::stringParam(int index) {
  switch (index) {
    case 1: return &stringParam1;
    case 2: return &stringParam2;
    case 3: return &stringParam3;
    case 4: return &stringParam4;
    case 5: return &stringParam5;
    case 6: return &stringParam6;
    default: return nullptr;
  }
}

}  // namespace kw
