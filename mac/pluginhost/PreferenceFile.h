// The movie's preference file "prefs.txt": name and value pairs written as
// "&name=value", read leniently, updated by substring match and written atomically.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

inline constexpr const char* kPreferenceFileName = "prefs.txt";

struct PreferencePair {
  std::string name;
  std::string value;
  bool operator==(const PreferencePair&) const = default;
};

// Reads the pairs of a preference text. Pairs are split at '&'; blanks, tabs,
// CR and LF before a pair are skipped, blanks and tabs after '=' are skipped,
// and a value ends at '&', CR, LF or the end. A piece without '=' is no pair.
std::vector<PreferencePair> parsePreferences(std::string_view text);

// Each pair as "&" name "=" value, nothing between them.
std::string formatPreferences(const std::vector<PreferencePair>& pairs);

// Every pair whose name contains `name` gets `value`; when none does, the pair
// is appended.
void storePreference(std::vector<PreferencePair>& pairs, std::string_view name, std::string_view value);

// The pairs of the file; a missing file is an empty list. False (and no
// pairs) when the file exists but cannot be read.
bool readPreferenceFile(const std::filesystem::path& file, std::vector<PreferencePair>& pairs);

// Replaces the file's content with the pairs: written to a temporary file in
// the same folder, then renamed over it, so a failure keeps the old file.
bool writePreferenceFile(const std::filesystem::path& file, const std::vector<PreferencePair>& pairs);

// The "save" request: stores one pair in "prefs.txt" of `folder`. Nothing is
// stored (false) for an empty name, or when the file cannot be read or written.
bool savePreference(const std::filesystem::path& folder, std::string_view name, std::string_view value);

}  // namespace kw
