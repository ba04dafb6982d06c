#pragma once
// The files a user names on the command line, refused with their fault named before
// anything is read from them: a folder, a line's project given for a survey, a survey
// given for a project, a file that is no survey and why.

#include <string>

#include "processing/record_evaluation.h"

// Opens a survey with its index warnings in English; throws InOutError with the fault,
// also when the survey holds no complete record and `records_needed` (every command but
// info: it has nothing to work on, as the window will not open it). Each warning is also
// told, as "FILE: text" and a line feed, in `told`.
OpenedSurvey OpenSurveyInput(const std::string& file, std::string& told, bool records_needed = true);

// Refuses a folder or a survey given where a line's project is expected (InOutError).
void CheckProjectInput(const std::string& file);
