#pragma once

// Stand-in for the profile-file functions (GetPrivateProfileStringA, WritePrivateProfileStringA):
// an INI text of [sections] with "key=value" lines, keys may hold spaces. A missing file, section
// or key reads as the default. Writing keeps every other line as it was and replaces the file only
// once the new text is completely written.
//
// Thread: any; one file is not written from two threads at once.

#include <string>

namespace platform {

// Up to `maxChars` characters of the value (the caller's buffer size less one).
[[nodiscard]] std::string GetPrivateProfileStringA(const std::string& section,
                                                   const std::string& key,
                                                   const std::string& defaultValue,
                                                   std::size_t maxChars, const std::string& path);
// False when the file could not be written.
bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path);

// The leading decimal number of a text, as atoi reads it (0 when there is none).
[[nodiscard]] int profileNumber(const std::string& text);

}  // namespace platform
