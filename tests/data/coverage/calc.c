/* A small calculator for the coverage tests: it reads commands from its
 * arguments and prints results. Blocks that the test inputs never reach are
 * tagged "unrun" on the line where their block starts (the keyword, the case
 * label, or the opening brace of a function). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_STACK 32

struct stack {
    int values[MAX_STACK];
    int top;
};

static const char *names[] = {"zero", "one", "two", "three"};

static int push(struct stack *s, int v)
{
    if (s->top >= MAX_STACK) { /* unrun */
        fprintf(stderr, "stack full\n");
        return -1;
    }
    s->values[s->top] = v;
    s->top++;
    return 0;
}

static int pop(struct stack *s, int *v)
{
    if (s->top == 0)
        return -1;
    s->top--;
    *v = s->values[s->top];
    return 0;
}

static int apply(int op, int a, int b, int *out)
{
    switch (op) {
    case '+':
        *out = a + b;
        break;
    case '-':
        *out = a - b;
        break;
    case '*':
        *out = a * b;
        break;
    case '/':
        if (b == 0) { /* unrun */
            return -1;
        }
        *out = a / b;
        break;
    case '%': /* unrun */
        if (b == 0) /* unrun */
            return -1;
        *out = a % b;
        break;
    default: /* unrun */
        return -1;
    }
    return 0;
}

static const char *classify(int v)
{
    if (v < 0) {
        return "negative";
    } else if (v == 0) {
        return "zero";
    } else if (v < 10) {
        return "small";
    } else if (v < 1000000) {
        return "large";
    } else { /* unrun */
        return "huge";
    }
}

static int sum_digits(int v)
{
    int sum = 0;
    if (v < 0) /* unrun */
        v = -v;
    while (v > 0) {
        sum += v % 10;
        v /= 10;
    }
    return sum;
}

static int reverse_digits(int v)
{
    int r = 0;
    int negative = v < 0;
    if (negative) { /* unrun */
        v = -v;
    }
    do {
        r = r * 10 + v % 10;
        v /= 10;
    } while (v > 0);
    return negative ? -r : r;
}

static int factorial(int n)
{
    int r = 1;
    int i;
    for (i = 2; i <= n; i++) {
        r *= i;
    }
    return r;
}

static int count_words(const char *text)
{
    int words = 0;
    int inside = 0;
    const char *p;
    for (p = text; *p != '\0'; p++)
    {
        if (*p == ' ' || *p == '\t')
        {
            inside = 0;
        }
        else if (!inside)
        {
            inside = 1;
            words++;
        }
    }
    return words;
}

static void print_name(int v)
{
    if (v >= 0 && v < 4)
        printf("name %s\n", names[v]);
    else
        printf("name ?\n");
}

int never_called(int v)
{ /* unrun */
    int i;
    for (i = 0; i < v; i++) { /* unrun */
        v--;
    }
    return v;
}

static int run_command(struct stack *s, const char *arg)
{
    int a;
    int b;
    int r;
    if (strcmp(arg, "fact") == 0) {
        if (pop(s, &a) != 0) /* unrun */
            return -1;
        return push(s, factorial(a));
    }
    if (strcmp(arg, "digits") == 0) {
        if (pop(s, &a) != 0) { /* unrun */
            return -1;
        }
        push(s, sum_digits(a));
        return push(s, reverse_digits(a));
    }
    if (strlen(arg) == 1 && strchr("+-*/%", arg[0]) != NULL) {
        if (pop(s, &b) != 0 || pop(s, &a) != 0) {
            fprintf(stderr, "missing operand\n");
            return -1;
        }
        if (apply(arg[0], a, b, &r) != 0) { /* unrun */
            return -1;
        }
        return push(s, r);
    }
    if (arg[0] == '"') {
        return push(s, count_words(arg + 1));
    }
    return push(s, atoi(arg));
}

int main(int argc, char **argv)
{
    struct stack s;
    int i;
    int v;
    s.top = 0;
    for (i = 1; i < argc; i++) {
        if (run_command(&s, argv[i]) != 0) {
            printf("error at %s\n", argv[i]);
            return 1;
        }
    }
    while (pop(&s, &v) == 0) {
        printf("%d %s\n", v, classify(v));
        print_name(v);
    }
    return 0;
}
