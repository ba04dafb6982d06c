#pragma once

#include <QString>
#include <QStringList>

// The surveys opened last and the folder of the last one, kept between runs in the
// user's settings.
class RecentSurveys {
 public:
  static constexpr int MaxEntries = 10;

  QStringList List() const;
  // Puts the survey first, once, and remembers its folder.
  void Add(const QString& path);
  void Remove(const QString& path);
  // The folder the open dialog starts in: the last survey's, or empty.
  QString LastFolder() const;
};
