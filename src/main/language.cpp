#include "main/language.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>
#include <QTranslator>

bool UseLanguage(const QString& code) {
  static QTranslator translator;
  QCoreApplication::removeTranslator(&translator);
  if (code.isEmpty() || code == "ru") return true;
  if (!translator.load(":/i18n/vostrel_" + code + ".qm")) return false;
  QCoreApplication::installTranslator(&translator);
  return true;
}

QString ChosenLanguage(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf("--lang");
  if (at >= 0 && at + 1 < arguments.size()) return arguments.at(at + 1);
  return QSettings().value("language").toString();
}
