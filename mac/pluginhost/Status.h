// Status codes shared by the plug-in host and the command bridge.
// All are 16-bit signed; plug-in interface and zlib codes pass through as they are.
#pragma once

#include <cstdint>

namespace kw {

using Status = int16_t;

inline constexpr Status kStatusOK = 0;
inline constexpr Status kStatusOutOfMemory = -1;       // also: shutting down
inline constexpr Status kStatusWriteFailed = -200;     // the write procedure failed
inline constexpr Status kStatusBadParameter = -202;    // missing or malformed parameter; message queued
inline constexpr Status kStatusUnknownCommand = -151;
inline constexpr Status kStatusEntryPointsMissing = 666;
inline constexpr Status kStatusCipherTooShort = 1302;  // enciphered data shorter than 8 bytes
inline constexpr Status kStatusRunCommand = 7089;      // 0x1BB1: the parser says "run it"
inline constexpr Status kStatusUnsupported = 8;        // unsupported browser function
// A movie too damaged to merge: the status zlib gives for a damaged stream.
inline constexpr Status kStatusMalformedMovie = -3;    // Z_DATA_ERROR

}  // namespace kw
