// libFuzzer target for the command parser: any bytes, in either request form,
// synchronous or not, must give one of the parser's statuses and a sane record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mac/commands/CommandParser.h"
#include "mac/platform/SystemLog.h"

namespace {

constexpr kw::Status kFTPStatus = -4242;  // what the fake transfer start answers, when asked to fail

class FuzzServices : public kw::ParserServices {
 public:
  explicit FuzzServices(bool ftpFails) : ftpFails_(ftpFails) {}
  kw::MousePoint currentMousePosition() override { return {-1, 1}; }
  kw::Status startFTPTransfer(kw::CocoaInterfaceData& record) override {
    if (!record.stringParam6) __builtin_trap();  // the transfer needs all its fields
    return ftpFails_ ? kFTPStatus : kw::kStatusOK;
  }

 private:
  bool ftpFails_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const bool listForm = (flags & 1) != 0;
  const bool synchronous = (flags & 2) != 0;

  kw::ScopedLogCapture quiet;
  FuzzServices services((flags & 4) != 0);
  kw::CocoaInterfaceData record;
  const kw::Status status = kw::parseCommand(text, &record, synchronous, listForm, services);

  const bool known = status == kw::kStatusRunCommand || status == kw::kStatusUnknownCommand ||
                     (status == kw::kStatusBadParameter && !listForm) || status == kFTPStatus;
  if (!known) __builtin_trap();
  if (status == kw::kStatusUnknownCommand && record.functionNumber != 0) __builtin_trap();
  if (record.listForm != (listForm ? 1 : 0)) __builtin_trap();
  if (!record.requestText) __builtin_trap();
  if (!listForm && !record.stringParam1) __builtin_trap();
  return 0;
}
