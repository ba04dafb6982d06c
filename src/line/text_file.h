#pragma once

#include <string>

// The whole of a small text file, by its UTF-8 name. Throws LineFileError naming it.
std::string ReadText(const std::string& path);
