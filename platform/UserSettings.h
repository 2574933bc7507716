#pragma once

// Stand-in for the program's key in the user's part of the registry: integer values by section
// and entry, kept in a profile file in the user's configuration folder
// ($KORVANE_CONFIG_DIR, else $XDG_CONFIG_HOME/korvane, else ~/.config/korvane).
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

private:
    std::string m_key;
};

}  // namespace platform
