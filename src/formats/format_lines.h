#pragma once

#include <string>
#include <vector>

// A whole exchange file as lines, and how many records it carries or had to leave out.
struct FormatLines {
  std::vector<std::string> lines;
  int written = 0;
  int left_out = 0;
};
