#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The standard integer conversion of a whole text: leading blanks, an optional sign,
// decimal digits or hexadecimal after "$", "x" or "0x"; the value must fit in 32 bits
// and nothing may follow it.
std::optional<int32_t> IntegerFromText(const std::string& text);
