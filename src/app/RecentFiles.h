// The data files opened last, newest first, for the File menu's "Recent
// Files", and the folder the Open dialog starts in when no file is open.
// Both are kept in the options store beside the options.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace brindle {

class RecentFiles {
 public:
  static constexpr int kMaximum = 8;

  // Newest first, absolute paths, no two alike.
  const QStringList& Files() const { return m_files; }
  // The folder of the file opened last; empty before any.
  const QString& LastFolder() const { return m_lastFolder; }

  // A file was opened: it goes to the top (from wherever it was), its
  // folder becomes the last folder, and the oldest beyond kMaximum goes.
  void Add(const QString& path);
  void Remove(const QString& path);
  void Clear();

  // Reads the list and the folder from the store; what is no absolute path
  // is left out, and only the newest kMaximum are kept.
  void Read(const QSettings& store);
  void Write(QSettings& store) const;

 private:
  QStringList m_files;
  QString m_lastFolder;
};

}  // namespace brindle
