#pragma once

#include <QString>
#include <string>

// The language of the window: Russian, its own, or a translation built into the program
// ("en"). Chosen with --lang or the "language" setting, before the window is made.
// Qt's own dialogs and buttons follow it where the system has Qt's translations.
// Returns false for a language the program has no translation for.
bool UseLanguage(const QString& code);

// --lang CODE from the command line, else the setting; empty for Russian.
QString ChosenLanguage(const QStringList& arguments);

// A message of the core (the index's Russian warnings) in the window's language.
QString CoreMessageText(const std::string& message);

// A message of the survey line's core ("FILE: text") in the window's language; one it
// does not know stays as it is.
QString LineMessageText(const QString& message);

// A message of the core in English (a file's fault, a gate refused, why a record has no
// answer) in the window's language, line by line, after the file's name where it has
// one; the line's messages too. One it does not know stays as it is.
QString CoreErrorText(const QString& message);
// A reason of the core (why a record has no answer, its decay no fit) in the window's
// language, to follow a text of the window's own.
std::string CoreReasonText(const std::string& reason);
