#pragma once

// Stand-in for the program's key in the user's part of the registry: integer values by section
// and entry, kept in a profile file in the user's configuration folder
// ($KORVANE_CONFIG_DIR, else $XDG_CONFIG_HOME/korvane, else ~/.config/korvane).
//
// The folder is made where it is missing and used when it is a directory of this user that no
// one else may write to (a folder made by `mkdir -p`, mode 0755, is fine). A write that fails is
// reported through the profile files' failure handler (ProfileFile.h).
//
// Thread: the user-interface thread.

#include <string>

namespace platform {

class UserSettings {
public:
    // Longest text value kept (a window layout in hexadecimal fits).
    static constexpr std::size_t kMaxValueChars = 8192;

    explicit UserSettings(std::string registryKey);

    [[nodiscard]] int GetProfileInt(const std::string& section, const std::string& entry,
                                    int defaultValue) const;
    bool WriteProfileInt(const std::string& section, const std::string& entry, int value);
    [[nodiscard]] std::string GetProfileString(const std::string& section, const std::string& entry,
                                               const std::string& defaultValue = {}) const;
    bool WriteProfileString(const std::string& section, const std::string& entry,
                            const std::string& value);

    [[nodiscard]] static std::string folder();
    [[nodiscard]] std::string filePath() const;

    // Makes the folder where it is missing and checks it; false with a readable `error` when
    // settings may not be kept there.
    [[nodiscard]] static bool ensureFolder(std::string& error);

    // Where a file the program keeps beside itself (`name` in `programDirectory`) is read and
    // written: there while files can be made in that folder, else in the settings folder (an
    // installed program's folder belongs to root) unless that folder is refused, which is
    // reported. A copy shipped beside the program is copied into the settings folder where that
    // has none yet, so the shipped set-up is where the user's own starts.
    [[nodiscard]] static std::string besideProgramOrInFolder(const std::string& programDirectory,
                                                             const std::string& name);

private:
    std::string m_key;
};

}  // namespace platform
