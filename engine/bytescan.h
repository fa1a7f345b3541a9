// Finding the next byte of a small set in a line: most bytes of a line are
// none of them, so sixteen are tested at once where the processor allows.
#pragma once

#include <cstddef>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Scans built for AVX2 whatever the build's own target, taken only where the
// processor running the program has it (HasAvx2).
#if defined(__GNUC__) && defined(__x86_64__)
#define VANTOR_AVX2 1
#include <immintrin.h>
#endif

namespace vantor {

inline bool HasAvx2() {
#ifdef VANTOR_AVX2
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return has;
#else
    return false;
#endif
}

#if defined(__SSE2__)
// One bit for each of the 16 bytes at `p` that is one of `Bytes`.
template <char... Bytes>
inline unsigned MatchBits(const char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hit = _mm_setzero_si128();
    ((hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, _mm_set1_epi8(Bytes)))), ...);
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

// The index of the first byte of `s` from `i` on (below `n`) that is one of
// `Bytes`, or `n`. `readable` bytes from `s` may be read (at least `n`): the
// last block is read whole when there is room for it, and what lies past `n`
// is ignored (a string's spare capacity, for one).
template <char... Bytes>
inline size_t FindAnyOf(const char* s, size_t i, size_t n, size_t readable) {
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const unsigned bits = MatchBits<Bytes...>(s + i);
        if (bits != 0) return i + static_cast<size_t>(__builtin_ctz(bits));
    }
    if (i < n && i + 16 <= readable) {
        const unsigned bits = MatchBits<Bytes...>(s + i) & ((1u << (n - i)) - 1u);
        return bits != 0 ? i + static_cast<size_t>(__builtin_ctz(bits)) : n;
    }
#else
    (void)readable;
#endif
    for (; i < n; ++i) {
        const char c = s[i];
        if (((c == Bytes) || ...)) return i;
    }
    return n;
}

// The same in a string, from index `i`: its spare capacity may be read.
template <char... Bytes>
inline size_t FindAnyOf(const std::string& s, size_t i) {
    return FindAnyOf<Bytes...>(s.data(), i, s.size(), s.capacity() + 1);
}

}  // namespace vantor
