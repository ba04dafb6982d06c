#include "main/recent_surveys.h"

#include <QFileInfo>
#include <QSettings>

namespace {
constexpr const char* ListKey = "recent/surveys";
constexpr const char* FolderKey = "recent/folder";
}  // namespace

QStringList RecentSurveys::List() const { return QSettings().value(ListKey).toStringList(); }

void RecentSurveys::Add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList list = List();
  list.removeAll(absolute);
  list.prepend(absolute);
  while (list.size() > MaxEntries) list.removeLast();
  QSettings settings;
  settings.setValue(ListKey, list);
  settings.setValue(FolderKey, QFileInfo(absolute).absolutePath());
}

QString RecentSurveys::LastFolder() const { return QSettings().value(FolderKey).toString(); }

void RecentSurveys::Remove(const QString& path) {
  QStringList list = List();
  list.removeAll(path);
  QSettings().setValue(ListKey, list);
}
