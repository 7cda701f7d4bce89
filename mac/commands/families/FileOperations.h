// The file system work behind the file commands, free of the command record:
// tests and tells of paths, copies, moves and links, text files in and out,
// folder listings and the XML objects of a movie header and of a file's
// attributes. Paths are taken as given (an empty path names nothing); every
// failure is an answer (false, none), never an exception.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

class Bundle;

namespace files {

// The two path conversions between a movie and the host; both keep the path
// as it is, so that another mapping can be put in at this one place.
std::string convertFlashPathToOSPath(std::string_view path);
std::string convertOSPathToFlashPath(std::string_view path);

// A path standardised: a leading "~" or "~user" expanded to the home folder,
// then "." parts, repeated slashes and a trailing slash removed and ".." parts
// applied where they follow a name.
std::string standardizedPath(std::string_view path);

bool fileExists(std::string_view path);  // anything exists there (links followed)
bool isFolder(std::string_view path);    // exists and is a folder (links followed)
// One folder, no intermediate ones; false when anything is already there.
bool createFolder(std::string_view path);
// Copies a file or a folder (recursively, links as links). The source is
// first looked up as a resource of `bundle` (the source text as the resource
// name). Fails without a source ("could not get source file path" is logged),
// when the destination exists, or when it lies inside the copied folder; a
// failed copy removes what it had made.
bool copyFileOrFolder(std::string_view source, std::string_view destination, const Bundle* bundle);
// A symbolic link at `link` holding `target`.
bool createShortCut(std::string_view target, std::string_view link);
// Moves an item; fails when something is already at the destination.
bool renameFile(std::string_view from, std::string_view to);
// Moves an item into the user's Trash (a dated name when its own is taken).
bool moveFileToUserTrash(std::string_view path);

// Text files. The default text encoding of this host is UTF-8: reading takes
// every well-formed UTF-8 sequence as it is and any other byte as the
// ISO Latin-1 character of the same code (so every file reads, and a file
// that was written as Latin-1 reads as it was meant); a UTF-8 byte-order mark
// is dropped. A file that begins with a UTF-16 byte-order mark is read as
// UTF-16 in that byte order (unpaired surrogates read as U+FFFD).
std::string decodeText(std::string_view bytes);
// UTF-16 with a byte-order mark, in the machine's byte order.
std::string encodeUTF16WithBOM(std::string_view text);
// Writes through a temporary file in the same folder that replaces the
// target only once it is complete: a failed write leaves the old file as it was.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Writes in place (truncating); a failed write may leave part of the bytes.
bool writeFileInPlace(const std::filesystem::path& path, std::string_view bytes);
// The whole file; none for a missing path, a folder, or an unreadable file.
std::optional<std::string> readFile(const std::filesystem::path& path);

// writeStringToFile:theString: (standardised path, UTF-16, atomic).
bool writeStringToFile(std::string_view path, std::string_view text);
// readStringFromFile: the text percent-escaped including ampersands.
std::optional<std::string> readStringFromFile(std::string_view path);
// appendStringToFile:theString: (the whole text written back in UTF-8).
bool appendStringToFile(std::string_view path, std::string_view text);

// listFilesOrFolders:listFiles:synchronous:.
std::string listFilesOrFolders(std::string_view folder, bool listFiles, bool synchronous);

// getFileSize: the size (links followed), logging it with the owner and the
// modification date; none, logging "Path (...) is invalid.", when unreadable.
std::optional<int64_t> getFileSize(std::string_view path);
// getFileAttributes: the attributes object, or none.
std::optional<std::string> getFileAttributes(std::string_view path);
// getFlashHeader: the header object, or "" for an empty path. When the probe
// fails every header field but FileSize is 0 (the movie rectangle counts as
// empty, so Width and Height are 0 too).
std::string getFlashHeader(std::string_view path);

}  // namespace files
}  // namespace kw
