// The per-run folder: its name from the clock, its creation, and a recursive
// delete that stays inside the system temporary folder.
#include "win/projector/RunFolder.h"

#include <windows.h>

#include <ctime>

#include "win/projector/SystemPaths.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

namespace {

// Room for the temporary path when the folder is made: 255 minus "TMP\".
constexpr unsigned kTempPathRoomForFolder = 255 - 4;
// Folders nest at most this deep below the per-run folder; deeper ones are
// left in place (they cannot be made with the path functions used here anyway).
constexpr int kMaxDepth = 128;

std::string& FolderPath() {
  static std::string path(kInvalidPath);
  return path;
}

bool IsDotName(const char* name) {
  return (name[0] == '.' && name[1] == '\0') || (name[0] == '.' && name[1] == '.' && name[2] == '\0');
}

// True when a path component (between backslashes or slashes) is "..".
bool ClimbsUp(const std::string& relative) {
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of("\\/", start);
    if (end == std::string::npos) end = relative.size();
    if (relative.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// An open handle on a file or folder itself: a link is opened as the link
// where the system can. Only a handle opened for deleting can delete; a
// folder is never listed while such a handle on it is open (the listing
// would meet a sharing violation).
class EntryHandle {
 public:
  enum Purpose { kQuery, kDelete };

  EntryHandle(const std::string& path, Purpose purpose)
      : handle_(CreateFileA(path.c_str(),
                            purpose == kDelete ? DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES
                                               : FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
  ~EntryHandle() {
    if (IsOpen()) CloseHandle(handle_);
  }
  EntryHandle(const EntryHandle&) = delete;
  EntryHandle& operator=(const EntryHandle&) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  DWORD Attributes() const {
    BY_HANDLE_FILE_INFORMATION info;
    if (!IsOpen() || !GetFileInformationByHandle(handle_, &info)) return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
  }

  // The path the system resolved the handle to, with every link followed;
  // empty when it cannot tell.
  std::string FinalPath() const {
    if (!IsOpen()) return {};
    char buffer[MAX_PATH * 2];
    const DWORD length = GetFinalPathNameByHandleA(handle_, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
  }

  // Marks the entry for deletion when the handle closes (a read-only file is
  // made writable first).
  bool MarkForDeletion(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      FILE_BASIC_INFO basic{};
      basic.FileAttributes = (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) | FILE_ATTRIBUTE_NORMAL;
      SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(handle_, FileDispositionInfo, &disposition, sizeof disposition) != 0;
  }

 private:
  HANDLE handle_;
};

// Deletes everything below `folder` (ending in a backslash) and the folder
// itself. `inside` is the resolved path of the per-run folder plus a
// backslash: every entry is opened as itself, and an entry that is a link is
// removed as a link; an entry that resolves to a place outside `inside` (a
// link the system shows as its target) is left alone, as is its target.
void DeleteTree(const std::string& folder, const std::string& inside, int depth) {
  if (depth > kMaxDepth) return;
  WIN32_FIND_DATAA found;
  const std::string pattern = folder + "*.*";
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (IsDotName(found.cFileName)) continue;
      const std::string path = folder + found.cFileName;
      bool descend = false;
      {
        EntryHandle entry(path, EntryHandle::kDelete);
        const DWORD attributes = entry.Attributes();
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
          entry.MarkForDeletion(attributes);  // the link itself, not its target
          continue;
        }
        if (!StartsWith(entry.FinalPath(), inside)) continue;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          descend = true;  // after this handle is closed
        } else {
          entry.MarkForDeletion(attributes);  // deleted as the handle closes
        }
      }
      if (descend) DeleteTree(path + "\\", inside, depth + 1);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

const std::string& PerRunFolder() { return FolderPath(); }

void CreatePerRunFolder() {
  const std::string temp = TemporaryPath(kTempPathRoomForFolder);
  if (temp.empty()) return;  // the path stays invalid; unpacking then fails
  const uint32_t seed = static_cast<uint32_t>(std::time(nullptr)) & 0xFFFFu;
  FolderPath() = PerRunFolderPath(temp, seed);
  CreateDirectoryA(FolderPath().c_str(), nullptr);
}

void RemovePerRunFolder() {
  const std::string temp = TemporaryPath();
  if (!temp.empty()) SetCurrentDirectoryA(temp.c_str());
  DeleteFolderTree(FolderPath(), temp);
  FolderPath() = std::string(kInvalidPath);
}

bool DeleteFolderTree(const std::string& folder, const std::string& tempPath) {
  // Only a folder strictly inside the temporary path: never the temporary
  // folder itself, never a path that climbs back out of it.
  if (!IsInsideTempPath(folder, tempPath) || folder.size() <= tempPath.size()) return false;
  if (folder.back() != '\\' || ClimbsUp(folder.substr(tempPath.size()))) return false;
  const std::string bare = folder.substr(0, folder.size() - 1);
  std::string inside;
  {
    EntryHandle root(bare, EntryHandle::kQuery);
    const DWORD attributes = root.Attributes();
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      // Someone put a link where our folder should be: remove the link only.
      EntryHandle link(bare, EntryHandle::kDelete);
      return link.Attributes() == attributes && link.MarkForDeletion(attributes);
    }
    // The folder must also resolve to a place inside the temporary folder.
    const std::string tempFinal = EntryHandle(tempPath, EntryHandle::kQuery).FinalPath();
    const std::string rootFinal = root.FinalPath();
    if (tempFinal.empty() || !StartsWith(rootFinal, tempFinal + "\\")) return false;
    inside = rootFinal + "\\";
  }
  DeleteTree(folder, inside, 0);
  return GetFileAttributesA(bare.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace kw::orbalo
