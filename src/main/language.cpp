#include "main/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
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
  static const char* const listed[] = {
      QT_TRANSLATE_NOOP("CoreMessage", "Слишком много данных.\n\rМаксимум=10000"),
      QT_TRANSLATE_NOOP("CoreMessage", "Слишком большой файл.\n\rМаксимум=2147483647"),
      QT_TRANSLATE_NOOP("CoreMessage", "Файл обрывается внутри блока %1.\n\rПолных блоков: %2, записей: %3"),
  };
  // A text with numbers, written by the core in place of %1, %2, … in their order, is
  // translated as its listed form with the same numbers.
  const QString text = QString::fromStdString(message);
  for (const char* form : listed) {
    const QStringList pieces = QString::fromUtf8(form).split(QRegularExpression("%\\d"));
    if (pieces.size() < 2) continue;
    QString pattern = "^" + QRegularExpression::escape(pieces.front());
    for (qsizetype i = 1; i < pieces.size(); ++i) pattern += "(-?\\d+)" + QRegularExpression::escape(pieces[i]);
    const QRegularExpressionMatch match = QRegularExpression(pattern + "$").match(text);
    if (!match.hasMatch()) continue;
    QString translated = QCoreApplication::translate("CoreMessage", form);
    for (int i = 1; i <= match.lastCapturedIndex(); ++i) translated = translated.arg(match.captured(i));
    return translated;
  }
  return QCoreApplication::translate("CoreMessage", message.c_str());
}
