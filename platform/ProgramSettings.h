#pragma once

// The program's own settings key, where the language, the recent files and the window layout
// are kept between runs.

#include "platform/UserSettings.h"

inline constexpr char kProgramSettingsKey[] = "Local AppWizard-Generated Applications\\Korvane";

[[nodiscard]] inline platform::UserSettings programSettings() {
    return platform::UserSettings(kProgramSettingsKey);
}
