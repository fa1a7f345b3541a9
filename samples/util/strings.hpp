// strings.hpp
#pragma once

namespace util {
int count_char(const char *text, char c);
}
