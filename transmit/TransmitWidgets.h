#pragma once

// What the two transmission dialogs share on screen: the checked edits and their texts.

#include "transmit/EntryCheck.h"

#include <QLineEdit>
#include <QString>

#include <functional>
#include <string>

namespace transmitui {

QString text(const char* english);
QString stringText(std::uint32_t id);

// Runs `check` on every change the user makes to `edit`, puts back the text it keeps, and fills
// an edit left empty with "0" (reported to `check` like a change).
void watchEntry(QLineEdit* edit,
                std::function<EntryOutcome(const std::string& text, std::size_t cursor)> check,
                const std::function<void(const EntryOutcome&)>& after = {});

}  // namespace transmitui
