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
      QT_TRANSLATE_NOOP("CoreMessage",
                        "Блок %1 (байт %2) не похож на блок данных.\n\rПрочитано блоков: %3, записей: %4; от этого "
                        "блока до конца файла байт: %5"),
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

namespace {

// The core's English texts the window shows, with %1, %2, … for what varies, and the
// window's own form of each.
const char* const CoreErrorForms[][2] = {
    {"File not found", QT_TRANSLATE_NOOP("CoreError", "файл не найден")},
    {"File access denied", QT_TRANSLATE_NOOP("CoreError", "нет доступа к файлу")},
    {"Disk full", QT_TRANSLATE_NOOP("CoreError", "диск заполнен")},
    {"Read beyond end of file",
     QT_TRANSLATE_NOOP("CoreError", "файл кончился раньше, чем ожидалось: он обрезан или изменился")},
    {"File not open", QT_TRANSLATE_NOOP("CoreError", "файл не открыт")},
    {"I/O error %1", QT_TRANSLATE_NOOP("CoreError", "ошибка ввода-вывода %1")},
    {"is a folder", QT_TRANSLATE_NOOP("CoreError", "это папка, а не съёмка")},
    {"a line's project, not a survey",
     QT_TRANSLATE_NOOP("CoreError", "это проект профиля, а не съёмка: его открывает «Профиль» → «Открыть профиль…»")},
    {"not a survey: the file is empty", QT_TRANSLATE_NOOP("CoreError", "не съёмка: файл пуст")},
    {"not a survey: file shorter than its header (%1 bytes, the header takes %2)",
     QT_TRANSLATE_NOOP("CoreError", "не съёмка: файл короче заголовка съёмки (%1 байт, заголовок занимает %2)")},
    {"not a survey: the file ends inside its electrode table",
     QT_TRANSLATE_NOOP("CoreError", "не съёмка: файл обрывается в таблице электродов")},
    {"not a survey: sample rate %1", QT_TRANSLATE_NOOP("CoreError", "не съёмка: частота дискретизации %1")},
    {"not a survey: invalid samples per curve %1",
     QT_TRANSLATE_NOOP("CoreError", "не съёмка: недопустимое число отсчётов кривой %1")},
    {"not a survey: invalid period count %1",
     QT_TRANSLATE_NOOP("CoreError", "не съёмка: недопустимое число периодов %1")},
    {"not a survey: invalid electrode count %1",
     QT_TRANSLATE_NOOP("CoreError", "не съёмка: недопустимое число электродов %1")},
    {"The res2dinv file gives M's gates as one delay and integration time: gates with gaps between them go only "
     "to the comma table (csv) and the ohm file",
     QT_TRANSLATE_NOOP("CoreError",
                       "Файл res2dinv задаёт окна M одной задержкой и временем интегрирования: окна с "
                       "промежутками между ними идут только в таблицу csv и файл ohm")},
    {"The decay's fit needs four gates or more (it has three parameters)",
     QT_TRANSLATE_NOOP("CoreError", "Подгонке спада нужны четыре окна или больше (у неё три параметра)")},
    {"The %1 file gives the gates as a delay and widths: gates with gaps between them go only to the decay table (csv)",
     QT_TRANSLATE_NOOP("CoreError",
                       "Файл %1 задаёт окна задержкой и ширинами: окна с промежутками между ними идут "
                       "только в таблицу спадов (csv)")},
    {"gates are written T1:T2,T2:T3 in ms, not '%1'",
     QT_TRANSLATE_NOOP("CoreError", "окна записываются как T1:T2,T2:T3 в мс, а не «%1»")},
    {"no gate given", QT_TRANSLATE_NOOP("CoreError", "окна не заданы")},
    {"the gate list '%1' ends with a comma", QT_TRANSLATE_NOOP("CoreError", "список окон «%1» кончается запятой")},
    {"the gate list '%1' has an empty gate between commas",
     QT_TRANSLATE_NOOP("CoreError", "в списке окон «%1» пустое окно между запятыми")},
    {"a gate is written T1:T2 in ms, not '%1'",
     QT_TRANSLATE_NOOP("CoreError", "окно записывается как T1:T2 в мс, а не «%1»")},
    {"gate %1 ms is reversed: it ends before it starts",
     QT_TRANSLATE_NOOP("CoreError", "окно %1 мс перевёрнуто: оно кончается раньше, чем начинается")},
    {"gate %1 ms is empty: it ends where it starts",
     QT_TRANSLATE_NOOP("CoreError", "окно %1 мс пусто: оно кончается там же, где начинается")},
    {"gate %1 ms starts before the switch-off", QT_TRANSLATE_NOOP("CoreError", "окно %1 мс начинается до выключения")},
    {"gate %1 ms starts before the gate before it ends: gates are listed in order and do not overlap",
     QT_TRANSLATE_NOOP("CoreError",
                       "окно %1 мс начинается раньше конца предыдущего: окна идут по порядку и не перекрываются")},
    {"gate %1 ms lies outside the pause of %2 ms",
     QT_TRANSLATE_NOOP("CoreError", "окно %1 мс выходит за паузу в %2 мс")},
    {"gate %1 ms holds no sample", QT_TRANSLATE_NOOP("CoreError", "в окне %1 мс нет ни одного отсчёта")},
    // Why a record has no chargeability or its decay no fit.
    {"no gate", QT_TRANSLATE_NOOP("CoreError", "окна не заданы")},
    {"no Vp", QT_TRANSLATE_NOOP("CoreError", "нет Vp")},
    {"fewer than three pauses", QT_TRANSLATE_NOOP("CoreError", "меньше трёх пауз")},
    {"the curve is shorter than its half-periods", QT_TRANSLATE_NOOP("CoreError", "кривая короче своих полупериодов")},
    {"a sample in a pause is not a number", QT_TRANSLATE_NOOP("CoreError", "отсчёт в паузе — не число")},
    {"the half-period is shorter than the averaging window",
     QT_TRANSLATE_NOOP("CoreError", "полупериод короче окна усреднения")},
    {"fewer than four gates", QT_TRANSLATE_NOOP("CoreError", "меньше четырёх окон")},
    {"a gate is not a number", QT_TRANSLATE_NOOP("CoreError", "окно — не число")},
    {"the fit found no model", QT_TRANSLATE_NOOP("CoreError", "подгонка не нашла модели")},
    {"the decay is too weak to fit", QT_TRANSLATE_NOOP("CoreError", "спад слишком слаб для подгонки")},
};

QString CoreErrorLine(const QString& line, bool sentence) {
  // A file that is text is told so after the fault.
  static const QString TextFile = " (a text file)";
  if (line.endsWith(TextFile))
    return CoreErrorLine(line.chopped(TextFile.size()), sentence) +
           QCoreApplication::translate("CoreError", " (текстовый файл)");
  for (const auto& [core, own] : CoreErrorForms) {
    // After the file's name ("FILE: "), or alone.
    const QRegularExpressionMatch match = MatchForm(core, line, "((?:.*: )?)", ".+?");
    if (!match.hasMatch()) continue;
    QString text = QCoreApplication::translate("CoreError", own);
    for (int i = 2; i <= match.lastCapturedIndex(); ++i) text = text.arg(match.captured(i));
    if (match.captured(1).isEmpty() && sentence) return text.left(1).toUpper() + text.mid(1);
    return match.captured(1) + text;
  }
  return line;
}

}  // namespace

QString CoreErrorText(const QString& message) {
  QStringList lines = message.split('\n');
  for (QString& line : lines) line = CoreErrorLine(LineMessageText(line), true);
  return lines.join('\n');
}

std::string CoreReasonText(const std::string& reason) {
  return CoreErrorLine(QString::fromStdString(reason), false).toStdString();
}
