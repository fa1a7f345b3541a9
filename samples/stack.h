/* stack.h - a fixed-size integer stack */
#ifndef STACK_H
#define STACK_H

#define STACK_SIZE 64

typedef struct {
   int items[STACK_SIZE];
   int top;
} Stack;

void stack_init(Stack *s);
int stack_push(Stack *s, int value);
int stack_pop(Stack *s, int *value);
int stack_peek(const Stack *s, int *value);

#endif
