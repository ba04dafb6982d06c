#include "vari.h"

Vari vari;

IndexReport OpenSurvey(Vari& v, const std::string& file_name) {
  const std::string name = file_name;  // may be the name of the survey replaced here
  v.FileLoaded = false;
  v.work = Workspace{};
  v.RecordResult = {};
  auto unopened = std::make_shared<Survey>();
  unopened->DataFileName = name;
  v.survey = std::move(unopened);
  OpenedSurvey opened = OpenSurvey(name);
  v.survey = std::move(opened.survey);
  return std::move(opened.report);
}
