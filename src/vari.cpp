#include "vari.h"

Vari vari;

IndexReport OpenSurvey(Vari& v, const std::string& file_name) {
  // A survey that cannot be opened leaves the one on show as it was: the new one
  // replaces it whole only once it is indexed.
  OpenedSurvey opened = OpenSurvey(file_name);
  TakeSurvey(v, std::move(opened.survey));
  return std::move(opened.report);
}

void TakeSurvey(Vari& v, SharedSurvey survey) {
  v.FileLoaded = false;
  v.work = Workspace{};
  v.RecordResult = {};
  v.survey = std::move(survey);
}
