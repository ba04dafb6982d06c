#pragma once
// Builds the files the tests need with the project's own writer, in a fresh folder.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "measurement/survey_writer.h"
#include "synthetic/synthetic_survey.h"
#include "vari.h"
#include "whole_file.h"

// A folder of its own for one test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A Vari of its own, so tests never share state through the program's instance; its
// survey is named data_file_name and holds nothing until it is opened.
std::unique_ptr<Vari> FreshVari(const std::string& data_file_name = "");
// Opens the survey the Vari names, as the window does.
IndexReport OpenSurvey(Vari& v);

// A block as the tests describe it: electrodes and curves in amperes and volts.
struct TestChannel {
  int32_t m = 1, n = 2;
  std::vector<float> voltage;  // empty: zeros
};
struct TestBlock {
  int32_t a = 1, b = 2;
  std::vector<float> current;  // empty: zeros
  std::vector<TestChannel> channels;
};

struct TestSurvey {
  SurveyHeader header{1000, 1, 1, 2};  // S = 8
  std::vector<float> electrodes{10.0f, 20.0f};
  std::vector<TestBlock> blocks;

  void Write(const std::string& path) const;
};

// Blocks of `channels` channels with electrodes 1 and 2 everywhere.
TestBlock SimpleBlock(int channels);

// Overwrites 4 bytes of a file with an int32, or with a float32.
void PatchInt32(const std::string& path, int64_t offset, int32_t value);
void WriteSurveyFloat(const std::string& path, int64_t offset, float value);
void Truncate(const std::string& path, int64_t size);

// A spread of a survey line: dipole-dipole, 6 blocks of 2 channels on electrodes 5 m
// apart; the records use electrodes 1 to 10, at 0 to 45 m.
SynthOptions LineSpread();
