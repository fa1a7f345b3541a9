/* trim.c - in a sub-folder: walked only when SousRepertoire is set */
#include <string.h>

char *trim_right(char *s)
{
   int n = (int)strlen(s);
   while (n > 0 && s[n - 1] == ' ') { n--; }
   s[n] = 0;
   return s;
}
