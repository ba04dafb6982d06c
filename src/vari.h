#pragma once
// The window's one instance of the open survey and of the workspace the window reads
// records with. Passes beside the window share the survey and have workspaces of their own.

#include <memory>
#include <string>

#include "measurement/survey.h"
#include "measurement/workspace.h"
#include "processing/record_evaluation.h"

struct Vari {
  // Replaced whole by every open (OpenSurvey); never null.
  SharedSurvey survey = std::make_shared<const Survey>();
  Workspace work;  // the window's
  // A survey with records is open and shown; written by the window.
  bool FileLoaded = false;
  // Everything known of the record on show; written by the window's ProcessRecord.
  RecordEvaluation RecordResult;
};

// The program's one instance.
extern Vari vari;

// Opens the measurement file `name` as the window's survey: the window's workspace lets
// go of the last survey's curves and tables, and after a failure the survey named holds
// no records, so no old index outlives a new header.
IndexReport OpenSurvey(Vari& v, const std::string& name);

// Makes an opened survey the window's, as OpenSurvey does once it has indexed it.
void TakeSurvey(Vari& v, SharedSurvey survey);
