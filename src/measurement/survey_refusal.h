#pragma once
// A file named as a survey that is none, refused for what it is: a folder, a line's
// project, an empty or short file, text, a header of no survey. The batch tool and the
// window tell the same fault, each in its own words.

#include <string>

#include "measurement/in_out_error.h"
#include "measurement/survey.h"

// Whether the file is a line's project: named .vln, or beginning with a project's first line.
bool IsLineProject(const std::string& file);

// Before the file is read: throws InOutError::Invalid for a folder ("is a folder") or a
// line's project ("a line's project, not a survey").
void RefuseNonSurvey(const std::string& file);

// The fault of a file whose indexing failed with `error`, named for what the file is
// ("not a survey: the file is empty", "not a survey: file shorter than its header (31
// bytes, the header takes 4120) (a text file)", ...); a fault of its access (not found,
// denied) is returned as it is.
InOutError SurveyOpenError(const std::string& file, const InOutError& error);

// After indexing: throws InOutError::Invalid for a header no survey has ("not a survey:
// sample rate 0").
void RefuseSurveyHeader(const Survey& survey);
