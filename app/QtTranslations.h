#pragma once

// Qt's own texts (the buttons of its dialogs, the file and print dialogs, context menus) in the
// language the program runs in, from the translations Qt ships.
//
// Thread: the user-interface thread, after the application object exists.

#include "platform/LocaleData.h"

#include <QString>

// Installs Qt's translations for `language` (nothing for English); the name of the locale used,
// "" when none was loaded.
QString installQtTranslations(platform::LANGID language);
