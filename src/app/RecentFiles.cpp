#include "app/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace brindle {

namespace {

const char* const kFilesKey = "RecentFiles";
const char* const kFolderKey = "LastFolder";

}  // namespace

void RecentFiles::Add(const QString& path) {
  const QFileInfo info(path);
  const QString absolute = info.absoluteFilePath();
  m_files.removeAll(absolute);
  m_files.prepend(absolute);
  while (m_files.size() > kMaximum) m_files.removeLast();
  m_lastFolder = info.absolutePath();
}

void RecentFiles::Remove(const QString& path) { m_files.removeAll(path); }

void RecentFiles::Clear() {
  m_files.clear();
  m_lastFolder.clear();
}

void RecentFiles::Read(const QSettings& store) {
  m_files.clear();
  for (const QString& path : store.value(QLatin1String(kFilesKey)).toStringList()) {
    // A hand-edited or damaged entry is dropped rather than offered.
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || m_files.contains(path)) continue;
    m_files.append(path);
    if (m_files.size() == kMaximum) break;
  }
  const QString folder = store.value(QLatin1String(kFolderKey)).toString();
  m_lastFolder = QDir::isAbsolutePath(folder) ? folder : QString();
}

void RecentFiles::Write(QSettings& store) const {
  store.setValue(QLatin1String(kFilesKey), m_files);
  store.setValue(QLatin1String(kFolderKey), m_lastFolder);
}

}  // namespace brindle
