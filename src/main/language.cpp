#include "main/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QStringList>
#include <QTranslator>

bool UseLanguage(const QString& code) {
  static QTranslator translator, qt_translator;
  QCoreApplication::removeTranslator(&translator);
  QCoreApplication::removeTranslator(&qt_translator);
  const QString language = code.isEmpty() ? "ru" : code;
  if (language != "ru") {
    if (!translator.load(":/i18n/vostrel_" + language + ".qm")) return false;
    QCoreApplication::installTranslator(&translator);
  }
  // Without Qt's translations installed its buttons stay English: nothing to refuse.
  if (qt_translator.load("qtbase_" + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qt_translator);
  return true;
}

QString ChosenLanguage(const QStringList& arguments) {
  const qsizetype at = arguments.indexOf("--lang");
  if (at >= 0 && at + 1 < arguments.size()) return arguments.at(at + 1);
  return QSettings().value("language").toString();
}

QString CoreMessageText(const std::string& message) {
  // The core's texts, listed here for the translation; they must match it letter for letter.
  [[maybe_unused]] static const char* const listed[] = {
      QT_TRANSLATE_NOOP("CoreMessage", "Слишком много данных.\n\rМаксимум=10000"),
      QT_TRANSLATE_NOOP("CoreMessage", "Слишком большой файл.\n\rМаксимум=2147483647"),
  };
  return QCoreApplication::translate("CoreMessage", message.c_str());
}
