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

namespace {

// `text` as `form` gives it, with each %1, %2, … standing for what `part` matches, after
// what `lead` matches (captured first); no match when it is not.
QRegularExpressionMatch MatchForm(const char* form, const QString& text, const QString& lead, const QString& part) {
  const QStringList pieces = QString::fromUtf8(form).split(QRegularExpression("%\\d"));
  QString pattern = "^" + lead + QRegularExpression::escape(pieces.front());
  for (qsizetype i = 1; i < pieces.size(); ++i) pattern += "(" + part + ")" + QRegularExpression::escape(pieces[i]);
  return QRegularExpression(pattern + "$").match(text);
}

}  // namespace

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
    if (!QString::fromUtf8(form).contains('%')) continue;
    const QRegularExpressionMatch match = MatchForm(form, text, "", "-?\\d+");
    if (!match.hasMatch()) continue;
    QString translated = QCoreApplication::translate("CoreMessage", form);
    for (int i = 1; i <= match.lastCapturedIndex(); ++i) translated = translated.arg(match.captured(i));
    return translated;
  }
  return QCoreApplication::translate("CoreMessage", message.c_str());
}

QString LineMessageText(const QString& message) {
  // The line's messages as its core writes them, with %1, %2, … for what varies, and the
  // window's own form of each.
  static const char* const forms[][2] = {
      {"the survey changed since it was added to the line (its header differs)",
       QT_TRANSLATE_NOOP("LineMessage", "съёмка изменилась после того, как вошла в профиль (другой заголовок)")},
      {"the survey changed since it was added to the line (its size is %1 bytes, not %2)",
       QT_TRANSLATE_NOOP("LineMessage",
                         "съёмка изменилась после того, как вошла в профиль (размер %1 байт, а был %2)")},
      {"the topography does not reach the electrode at %1 m (it covers %2 to %3 m along the ground)",
       QT_TRANSLATE_NOOP("LineMessage", "топография не доходит до электрода на %1 м (она от %2 до %3 м по земле)")},
      {"the topography does not reach the electrode at %1 m (it covers %2 to %3 m)",
       QT_TRANSLATE_NOOP("LineMessage", "топография не доходит до электрода на %1 м (она от %2 до %3 м)")},
      {"no record to write: %1 excluded, %2 without K or R",
       QT_TRANSLATE_NOOP("LineMessage", "нечего записать: исключено %1, без K или R %2")},
      {"the export would replace a survey of the line",
       QT_TRANSLATE_NOOP("LineMessage", "экспорт заменил бы съёмку профиля")},
      {"record %1 is not in 1..%2", QT_TRANSLATE_NOOP("LineMessage", "записи %1 нет: в съёмке записи 1..%2")},
      {"a topography needs at least two points",
       QT_TRANSLATE_NOOP("LineMessage", "в топографии нужно не меньше двух точек")},
      {"one x and one z expected", QT_TRANSLATE_NOOP("LineMessage", "в строке нужны одно x и одно z")},
      {"x %1 does not pass the x before it (%2): the points must go along the line",
       QT_TRANSLATE_NOOP("LineMessage", "x %1 не больше предыдущего x (%2): точки должны идти вдоль профиля")},
      {"'%1' is not two numbers", QT_TRANSLATE_NOOP("LineMessage", "'%1' — не два числа")},
  };
  // Each message names its file first ("FILE: " or "FILE:LINE: ").
  for (const auto& [core, own] : forms) {
    const QRegularExpressionMatch match = MatchForm(core, message, "(.*: )", ".+?");
    if (!match.hasMatch()) continue;
    QString text = QCoreApplication::translate("LineMessage", own);
    for (int i = 2; i <= match.lastCapturedIndex(); ++i) text = text.arg(match.captured(i));
    return match.captured(1) + text;
  }
  return message;
}
