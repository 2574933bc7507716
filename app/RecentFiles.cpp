#include "app/RecentFiles.h"

#include "platform/ProgramSettings.h"

#include <QFileInfo>

namespace {

std::string entryName(int index) {
    return "File" + std::to_string(index + 1);
}

// One spelling per file, so the same document never takes two places.
QString canonical(const QString& path) {
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.absoluteFilePath() : resolved;
}

}  // namespace

void RecentFiles::load() {
    m_files.clear();
    const platform::UserSettings settings = programSettings();
    for (int i = 0; i < kMaxFiles; ++i) {
        const QString path =
            QString::fromStdString(settings.GetProfileString(kSection, entryName(i)));
        if (!path.isEmpty() && !m_files.contains(path)) m_files.push_back(path);
    }
}

void RecentFiles::add(const QString& path) {
    const QString file = canonical(path);
    m_files.removeAll(file);
    m_files.prepend(file);
    while (m_files.size() > kMaxFiles) m_files.removeLast();
    save();
}

void RecentFiles::remove(const QString& path) {
    if (m_files.removeAll(path) + m_files.removeAll(canonical(path)) > 0) save();
}

QString RecentFiles::menuText(int index) const {
    if (index < 0 || index >= m_files.size()) return {};
    QString name = QFileInfo(m_files[index]).fileName();
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(name);
}

void RecentFiles::save() const {
    platform::UserSettings settings = programSettings();
    for (int i = 0; i < kMaxFiles; ++i) {
        settings.WriteProfileString(kSection, entryName(i),
                                    i < m_files.size() ? m_files[i].toStdString() : std::string());
    }
}
