// Script values the host hands the plug-in: string variants whose bytes the
// plug-in later frees through NPN_ReleaseVariantValue, and the host's memory
// functions behind NPN_MemAlloc / NPN_MemFree.
#pragma once

#include <cstdint>
#include <string_view>

#include "mac/npapi/npapi.h"

namespace kw {

// NPN_MemAlloc: `size` bytes, or null for 0.
void* hostMemAlloc(uint32_t size);
// NPN_MemFree: frees such a block; null is ignored.
void hostMemFree(void* block);

// Stores a fresh heap copy of `text` (no terminating zero) as a string variant.
void setStringVariant(NPVariant* variant, std::string_view text);
// NPN_ReleaseObject (implemented with the scriptable objects).
void releaseObject(NPObject* object);

// NPN_ReleaseVariantValue: releases an object, frees a string's bytes, and
// leaves the variant void.
void releaseVariantValue(NPVariant* variant);

}  // namespace kw
