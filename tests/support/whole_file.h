#pragma once
// Small files read or written whole, for the tests and the fuzzer.

#include <span>
#include <string>
#include <vector>

std::vector<unsigned char> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::span<const unsigned char> bytes);
