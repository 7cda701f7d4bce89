// Fuzz target for the byte and text readers of the network utilities: header
// blocks, content-type guesses, URL making and percent decoding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mac/net/HeaderFields.h"
#include "mac/net/MIMEGuess.h"
#include "mac/net/StringExtras.h"
#include "mac/net/URLExtras.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kw::ByteSpan bytes(data, size);
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  (void)kw::parseRFC822HeaderFields(bytes);
  (void)kw::startsWithBlankLine(bytes);
  if (const auto end = kw::locationAfterFirstBlankLine(bytes)) {
    if (*end > size) __builtin_trap();
  }
  (void)kw::guessedMIMEType(bytes);

  if (const auto url = kw::urlWithDataAsString(kw::stringByStrippingReturnCharacters(text))) {
    (void)kw::urlWithDataAsString("a/b?c#d", &*url);
  }
  (void)kw::scriptIfJavaScriptURL(text);
  (void)kw::stringByReplacingValidPercentEscapes(text);
  (void)kw::stringByCollapsingNonPrintingCharacters(text);
  return 0;
}
