// The request record: one command call of a movie, from parsing through
// dispatch to the reply. Fields keep the order and meaning of the bridge's
// record; the strings are owned values, so releasing a record (destroying it)
// frees each of them exactly once whatever form the request came in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "mac/pluginhost/Status.h"

namespace kw {

class FlashPlugin;  // the plug-in instance that sent a request (plug-in host)

inline constexpr uint32_t kCocoaInterfaceMarker = 0x436F4349;  // 'CoCI'
inline constexpr uint32_t kDefaultDeadlineTicks = 300;          // 5 seconds of 1/60 s ticks
inline constexpr uint32_t kFTPDeadlineTicks = 300000;

struct CocoaInterfaceData {
  uint32_t sanityCheck = kCocoaInterfaceMarker;
  uint8_t inFlight = 1;
  uint8_t completed = 0;
  uint8_t dispatched = 0;
  uint8_t synchronous = 0;
  uint8_t listForm = 0;
  int32_t functionNumber = 0;
  FlashPlugin* requester = nullptr;  // not owned
  uint32_t windowID = 0;             // 0: the requester's own window
  Status status = 0;
  uint8_t resultIsText = 0;
  uint8_t resultIsBoolean = 0;
  uint8_t resultIsNumber = 0;
  uint8_t resultIsPoint = 0;
  uint8_t resultIsString = 0;
  uint8_t booleanResult = 0;
  int32_t numberResult = 0;   // replies print it with "%d"
  int32_t numberResult2 = 0;  // y of a point
  std::optional<std::string> stringResult;
  uint8_t boolParam1 = 0, boolParam2 = 0, boolParam3 = 0;
  int32_t intParam1 = 0, intParam2 = 0, intParam3 = 0, intParam4 = 0;
  uint32_t startTicks = 0;
  uint32_t deadlineTicks = 0;
  std::optional<std::string> stringParam1, stringParam2, stringParam3, stringParam4, stringParam5,
      stringParam6;
  std::optional<std::string> requestText;
  std::filesystem::path movieSpec;  // the requesting movie's file

  // A fresh record as the stream-record builder makes it: live, in flight,
  // deadline 300 ticks after `nowTicks`.
  static std::unique_ptr<CocoaInterfaceData> create(uint32_t nowTicks, FlashPlugin* requester,
                                                    const std::filesystem::path& movieSpec);

  // The string parameter slot 1..6 (nullptr for any other index).
  std::optional<std::string>* stringParam(int index);
};

}  // namespace kw
