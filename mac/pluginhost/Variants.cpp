// Script values and host memory: see Variants.h.
#include "mac/pluginhost/Variants.h"

#include <cstdlib>
#include <cstring>

namespace kw {

void* hostMemAlloc(uint32_t size) { return size == 0 ? nullptr : std::malloc(size); }

void hostMemFree(void* block) { std::free(block); }

void setStringVariant(NPVariant* variant, std::string_view text) {
  if (variant == nullptr) return;
  const auto length = static_cast<uint32_t>(text.size());
  auto* bytes = static_cast<NPUTF8*>(hostMemAlloc(length));
  if (bytes != nullptr) std::memcpy(bytes, text.data(), length);
  variant->type = NPVariantType_String;
  variant->value.stringValue = {bytes, bytes != nullptr ? length : 0};
}

void releaseVariantValue(NPVariant* variant) {
  if (variant == nullptr) return;
  if (variant->type == NPVariantType_String) {
    hostMemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
  } else if (variant->type == NPVariantType_Object) {
    releaseObject(variant->value.objectValue);
  }
  variant->type = NPVariantType_Void;
  variant->value.objectValue = nullptr;
}

}  // namespace kw
