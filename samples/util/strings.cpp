// strings.cpp - small string helpers
#include "strings.hpp"

namespace util {

int count_char(const char *text, char c)
{
   int n = 0;
   for (; *text; ++text) if (*text == c) n++;
   return n;
}

}
