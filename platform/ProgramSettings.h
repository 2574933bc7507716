#pragma once

// The program's own settings key, where the language, the recent files and the window layout
// are kept between runs, and the adapter's set-up file Configure.ini.

#include "platform/ProfileFile.h"
#include "platform/UserSettings.h"

#include <string>

inline constexpr char kProgramSettingsKey[] = "Local AppWizard-Generated Applications\\Korvane";

[[nodiscard]] inline platform::UserSettings programSettings() {
    return platform::UserSettings(kProgramSettingsKey);
}

// Configure.ini beside the program, or in the settings folder where the program's folder cannot
// be written.
[[nodiscard]] inline std::string configureIniPath(const std::string& programDirectory) {
    return platform::UserSettings::besideProgramOrInFolder(programDirectory, "Configure.ini");
}
