#pragma once

#include <cstdarg>
#include <string>

// printf-style formatting into a std::string.
std::string VFormat(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
