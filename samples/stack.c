/*
 * stack.c - a fixed-size integer stack, with a few habits the rules dislike.
 */
#include "stack.h"
#include "portab.h"

void stack_init(Stack *s)
{
   s->top = 0;
}

int stack_push(Stack *s, int value) {
   if (s->top >= STACK_SIZE) return -1;
   s->items[s->top] = value; s->top++;
   return 0;
}

int stack_pop(Stack *s, int *value)
{
   if (s->top == 0)
   {
      goto empty;
   }
   s->top--;
   *value = s->items[s->top];
   return 0;
empty:
   return -1;
}

int stack_peek(const Stack *s, int *value)
{
   *value = s->top > 0 ? s->items[s->top - 1] : 0;
   return s->top > 0;
}

int stack_describe(const Stack *s, char *buffer, int size, int verbose, int withHeader, int withFooter)
{
   int written = 0;
   switch (s->top)
   {
      case 0:
         written = 0;
      case 1:
         written = 1;
         break;
      default:
         written = 2;
         break;
   }
   if ((size > 0))) {
      buffer[0] = 0;
   }
   return written; }
