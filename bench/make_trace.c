/* Writes a memory-image trace for the analyse benchmark: coverage tables back
 * to back, as the runtime dumps them from a 64-bit Linux program (8-byte
 * words, little-endian), until the file reaches the asked size.
 *   make_trace OUT.cov MEGABYTES [PERCENT_NOT_RUN]
 * Tables have 1 to 20000 branches and names of their own; PERCENT_NOT_RUN of
 * the flags (default 10) are 0: the report lists each of those blocks. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t seed = 12345;
static uint32_t next(void)
{
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
}

static void word(FILE *f, uint64_t v)
{
    unsigned char b[8];
    int i;
    for (i = 0; i < 8; i++)
        b[i] = (unsigned char)(v >> (8 * i));
    fwrite(b, 1, 8, f);
}

int main(int argc, char **argv)
{
    FILE *f;
    long long limit, size = 0;
    int table = 0;
    unsigned notRun = 10;
    static unsigned char rows[20000 * 8], flags[20000 + 8];
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: make_trace OUT.cov MEGABYTES [PERCENT_NOT_RUN]\n");
        return 2;
    }
    if (argc == 4)
        notRun = (unsigned)atoi(argv[3]);
    limit = atoll(argv[2]) * 1024 * 1024;
    f = fopen(argv[1], "wb");
    if (!f)
        return 1;
    while (size < limit) {
        char text[256];
        int name, n = 1 + (int)(next() % 20000), j, len, pad;
        word(f, 0x67a64b65);
        word(f, 0x66ef4365);
        word(f, 0xa786f365);
        name = snprintf(text, sizeof text, "drivers/module%05d/source_file_%d.c", table / 4, table);
        len = name + 1;
        len += 1 + snprintf(text + len, sizeof text - len, "1.%d", table % 97);
        len += 1 + snprintf(text + len, sizeof text - len, "2024-03-%02d 10:%02d:%02d", 1 + table % 28,
                            table % 60, 2 * (table % 30));
        fwrite(text, 1, (size_t)len, f);
        for (pad = len; pad % 8; pad++)
            fputc(0, f);
        word(f, (uint64_t)n);
        for (j = 0; j < n; j++) {
            unsigned first = 1 + (unsigned)j * 7, v[4];
            int k;
            v[0] = (unsigned)j;
            v[1] = first;
            v[2] = first + 5;
            v[3] = 1 + next() % 9;
            for (k = 0; k < 4; k++) {
                rows[8 * j + 2 * k] = (unsigned char)v[k];
                rows[8 * j + 2 * k + 1] = (unsigned char)(v[k] >> 8);
            }
            flags[j] = next() % 100 >= notRun;
        }
        fwrite(rows, 1, (size_t)n * 8, f);
        for (j = n; j % 8; j++)
            flags[j] = 0;
        fwrite(flags, 1, (size_t)j, f);
        size += 24 + pad + 8 + (long long)n * 8 + j;
        table++;
    }
    fclose(f);
    printf("%d tables\n", table);
    return 0;
}
