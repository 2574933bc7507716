#pragma once

// Stand-in for the profile-file functions (GetPrivateProfileStringA, WritePrivateProfileStringA):
// an INI text of [sections] with "key=value" lines, keys may hold spaces. A missing file, section
// or key reads as the default. Writing keeps every other line as it was and replaces the file only
// once the new text is completely written.
//
// Only a regular file of at most kMaxProfileBytes is read (anything else reads as missing and is
// never written over): a settings file that is a FIFO or a device would hang or flood the reader.
//
// Thread: any; one file is not written from two threads at once.

#include <functional>
#include <string>

namespace platform {

inline constexpr std::size_t kMaxProfileBytes = std::size_t{1} << 20;

// Up to `maxChars` characters of the value (the caller's buffer size less one).
[[nodiscard]] std::string GetPrivateProfileStringA(const std::string& section,
                                                   const std::string& key,
                                                   const std::string& defaultValue,
                                                   std::size_t maxChars, const std::string& path);
// False when the file could not be written; the failure is reported (below).
bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path);

// The leading decimal number of a text, as atoi reads it (0 when there is none).
[[nodiscard]] int profileNumber(const std::string& text);

// Settings that cannot be kept must not be lost silently, nor pester the user at every change:
// the first failed write after a handler is installed calls it with why; later ones do not.
// Null removes the handler. The handler runs on the thread that wrote (the program writes its
// settings on its window's thread).
using ProfileWriteFailureHandler = std::function<void(const std::string& why)>;
void setProfileWriteFailureHandler(ProfileWriteFailureHandler handler);
void reportProfileWriteFailure(const std::string& why);

}  // namespace platform
