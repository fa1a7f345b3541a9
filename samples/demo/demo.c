/* demo.c - the coverage walk-through's program: run with 3, two blocks stay unrun */
#include <stdio.h>
#include <stdlib.h>

static const char *classify(int n)
{
   if (n < 0)
   {
      return "negative";
   }
   if (n % 2 == 0)
   {
      return "even";
   }
   return "odd";
}

int main(int argc, char **argv)
{
   int i;
   for (i = 1; i < argc; i++)
   {
      printf("%s is %s\n", argv[i], classify(atoi(argv[i])));
   }
   return 0;
}
