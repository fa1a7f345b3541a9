/* nesting.c - deep nesting and a very long function */

int deep(int a)
{
   if (a > 0)
   {
      if (a > 1)
      {
         if (a > 2)
         {
            if (a > 3)
            {
               if (a > 4)
               {
                  if (a > 5)
                  {
                     if (a > 6)
                     {
                        if (a > 7)
                        {
                           return 8;
                        }
                     }
                  }
               }
            }
         }
      }
   }
   return 0;
}
