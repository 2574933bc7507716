#pragma once

// The help: which file and topic fit the user's language, and a viewer that shows them. A help
// file is a folder of HTML pages named like the help files ("Korvane-en.chm"); the viewer opens
// it at the topic.
//
// Thread: the user-interface thread.

#include "app/LanguageManager.h"

#include <QString>

class QWidget;

// "Korvane-tc.chm" for 1028, "Korvane-sc.chm" for 2052, "Korvane-en.chm" for every other language.
[[nodiscard]] std::string helpFileName(LANGID language);
// The first non-zero of the setting, the user's and the system's languages; 0 when all are 0.
[[nodiscard]] LANGID helpLanguage(LanguageEnvironment& environment);

inline constexpr char kHelpTopic[] = "14.html";

// Stand-in for the HTML help viewer: shows `topic` of the help file `file` in a window of its
// own. False, without a message, when the file or its topic cannot be found; once the viewer
// itself has failed it stays off, as a missing viewer library would.
// The window opens beside `owner` when given, and closes on Escape.
bool HtmlHelp(const QString& file, const QString& topic, const QWidget* owner = nullptr);
// Closes the viewer window, if one is open: it never outlives the main window.
void closeHelpViewer();
// The viewer window last opened (for tests); null before any.
[[nodiscard]] QWidget* helpViewerWindow();
