#pragma once
// Numbers in the line's text files: written in the fewest digits that read back as the
// same double, read whole and finite.

#include <string>
#include <string_view>

std::string ShortestText(double value);

// False when text is not one finite number from its first character to its last.
bool ParseNumber(std::string_view text, double& value);
