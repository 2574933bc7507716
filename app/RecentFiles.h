#pragma once

// The File menu's list of the documents opened or saved last, newest first, kept in the
// program's settings between runs.
//
// Thread: the user-interface thread.

#include <QString>
#include <QStringList>

class RecentFiles {
public:
    static constexpr int kMaxFiles = 4;
    static constexpr char kSection[] = "Recent File List";

    // Reads the list from the settings.
    void load();
    // `path` becomes the newest entry (once only) and the list is stored.
    void add(const QString& path);
    // Drops `path` (a file that could not be opened) and stores the list.
    void remove(const QString& path);
    [[nodiscard]] const QStringList& files() const { return m_files; }
    // The menu text of entry `index`: its number as the mnemonic, then the file's name.
    [[nodiscard]] QString menuText(int index) const;

private:
    void save() const;

    QStringList m_files;
};
