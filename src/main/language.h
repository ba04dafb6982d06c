#pragma once

#include <QString>

// The language of the window: Russian, its own, or a translation built into the program
// ("en"). Chosen with --lang or the "language" setting, before the window is made.
// Returns false for a language the program has no translation for.
bool UseLanguage(const QString& code);

// --lang CODE from the command line, else the setting; empty for Russian.
QString ChosenLanguage(const QStringList& arguments);
