#pragma once
// A line open in the window: its project as last saved and as edited since, with the
// history of the edits, and the line's records as the last evaluation left them. The
// window shows it; every answer comes from here.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "line/exclusion.h"
#include "line/line_history.h"
#include "line/line_project.h"
#include "line/line_records.h"

class LineSession {
 public:
  // The project at `path` as it reads now; the history starts there.
  LineSession(std::string path, LineProject project);

  const std::string& Path() const { return path_; }
  // The project as edited now.
  LineProject Project() const;
  // Whether the project differs from the file it was opened from or last saved to.
  bool Modified() const { return Project() != saved_; }
  // Writes the project (replaced only once complete); it is then the saved one. The
  // notes: surveys an older version stamped, stamped anew.
  std::vector<std::string> Save();
  // Saves under another name; the surveys keep their files, named from the new folder.
  std::vector<std::string> SaveAs(const std::string& path);

  // The evaluation the records come from; none until the first is set.
  const std::shared_ptr<const LineData>& Data() const { return data_; }
  // Whether the records must be evaluated again before they answer for the project: a
  // survey, an offset, the topography or a processing option changed since, or the
  // rules look at M or the decay's fit and the evaluation did not compute it.
  bool NeedsEvaluation() const;
  // The evaluation and the project it was made for, and whether it computed M and the decay's fit.
  void SetData(std::shared_ptr<const LineData> data, const LineProject& evaluated_for, bool with_m,
               bool with_fit = false);

  // Changes that need a new evaluation, each a step of the history.
  void AddSurvey(const std::string& file, double offset_m);
  void SetOffset(int survey, double offset_m);
  // Takes a survey out of the line with its records excluded by hand; the later surveys'
  // exclusions follow their places.
  void RemoveSurvey(int survey);
  void SetTopography(const Topography& topography, const std::string& name);
  // Not in the history: the window's check boxes and gates.
  void SetProcessing(const LineProcessing& processing) { project_.processing = processing; }
  // Whether the records must carry M whatever the rules (the window's decay view is on).
  void SetWantsM(bool wants) { wants_m_ = wants; }
  bool WantsM() const { return wants_m_ || Rules().LookAtM() || WantsDecayFit(); }
  // Whether the records must carry the decay's fit whatever the rules (the survey view
  // colours by it).
  void SetWantsDecayFit(bool wants) { wants_fit_ = wants; }
  bool WantsDecayFit() const { return wants_fit_ || Rules().LookAtDecayFit(); }
  // The survey view's colour scale of a quantity, fixed or (none) automatic again.
  void SetColourScale(const std::string& quantity, const std::optional<FixedColourScale>& scale) {
    if (scale)
      project_.colour_scales[quantity] = *scale;
    else
      project_.colour_scales.erase(quantity);
  }
  // Changes the counts at once; a step of the history.
  void SetRules(const ExclusionRules& rules);
  const ExclusionRules& Rules() const { return history_.Setup().rules; }

  // Every edit above but the processing, and the records excluded by hand.
  LineHistory& History() { return history_; }
  const LineHistory& History() const { return history_; }

  // Every record's cause and the counts, for the records of the last evaluation.
  Exclusions Current() const;
  // The survey of the line that is this file, or -1.
  int SurveyOf(const std::string& file) const;

 private:
  // Takes the stamps a save wrote anew into every state kept.
  void Restamp(const std::vector<LineSurvey>& stamped);
  std::string path_;
  LineProject project_;  // its processing; the rest is the history's
  LineProject saved_;
  LineHistory history_;
  std::shared_ptr<const LineData> data_;
  LineProject evaluated_for_;
  bool evaluated_with_m_ = false;
  bool evaluated_with_fit_ = false;
  bool wants_m_ = false;
  bool wants_fit_ = false;
};

// A new project at `path` with the surveys given, none yet excluded; nothing is written.
// Throws LineFileError naming a survey that cannot be read.
LineSession NewLineSession(const std::string& path, const std::vector<std::string>& files);
