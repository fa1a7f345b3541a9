/* Coverage runtime for programs built from Vantor-instrumented sources with
 * gcc or clang on ELF targets (Linux, the BSDs).
 *
 * Instrument with the "Pragma avant" line
 *     __attribute__((section("vantor_cov"),used))
 * so that the coverage table of every instrumented file lands in the one
 * linker section "vantor_cov", then link this file into the program. At exit
 * the section's bytes, as they are in memory, go to <program>-<pid>.cov in the
 * folder named by VANTOR_COV_DIR (the current folder when unset), where
 * `vantor-cli analyse` reads them.
 *
 * Plain C, no dependencies. Traces are written at a normal exit (return from
 * main or exit()); a crash or _exit() leaves none. */
#define _GNU_SOURCE
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* The linker defines these around a section whose name is a C identifier.
 * Weak, so that a program without any instrumented file still links. */
extern char __start_vantor_cov[] __attribute__((weak));
extern char __stop_vantor_cov[] __attribute__((weak));

static const char *vantor_cov_program(void)
{
#if defined(__GLIBC__)
    extern char *program_invocation_short_name;
    if (program_invocation_short_name && *program_invocation_short_name)
        return program_invocation_short_name;
#elif defined(__FreeBSD__) || defined(__NetBSD__) || defined(__OpenBSD__) || defined(__APPLE__)
    const char *name = getprogname();
    if (name && *name)
        return name;
#endif
    return "program";
}

/* Writes the coverage section now; called at exit, and callable by a program
 * that wants a trace before it ends (a server that never exits normally).
 * Returns 0 on success, -1 when the trace could not be written. */
int vantor_cov_dump(void)
{
    const char *start = __start_vantor_cov;
    const char *stop = __stop_vantor_cov;
    const char *dir = getenv("VANTOR_COV_DIR");
    char path[4096];
    FILE *f;
    size_t size;
    int n;

    if (!start || !stop || stop <= start)
        return 0;
    size = (size_t)(stop - start);
    if (!dir || !*dir)
        dir = ".";
    n = snprintf(path, sizeof path, "%s/%s-%ld.cov", dir, vantor_cov_program(), (long)getpid());
    if (n < 0 || (size_t)n >= sizeof path) {
        fprintf(stderr, "vantor_cov: no trace written: the path in VANTOR_COV_DIR (%.64s...) is too long\n", dir);
        return -1;
    }
    f = fopen(path, "wb");
    if (!f) {
        fprintf(stderr, "vantor_cov: cannot write %s: %s\n", path, strerror(errno));
        return -1;
    }
    if (fwrite(start, 1, size, f) != size) {
        fprintf(stderr, "vantor_cov: write error on %s: %s\n", path, strerror(errno));
        fclose(f);
        return -1;
    }
    if (fclose(f) != 0) {
        fprintf(stderr, "vantor_cov: write error on %s: %s\n", path, strerror(errno));
        return -1;
    }
    return 0;
}

static void vantor_cov_at_exit(void)
{
    vantor_cov_dump();
}

/* Registered first thing, so it runs after the program's own exit handlers
 * (which may still execute instrumented code). */
__attribute__((constructor(101))) static void vantor_cov_register(void)
{
    atexit(vantor_cov_at_exit);
}
