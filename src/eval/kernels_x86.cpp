// The network's kernels with SSE2 (every x86-64 CPU) and AVX2. No file is compiled for AVX2:
// its kernels carry the target attribute, so the program still runs on a CPU without it, and
// network.cpp calls them only when the CPU says it has it.
#include "eval/network_kernels.h"

#ifdef TOLVO_X86_KERNELS

#include <immintrin.h>

namespace Sse2Kernels {

void rows(int16_t* dst, const int16_t* base, const int16_t* const* add, int addCount,
          const int16_t* const* sub, int subCount) {
    for (int j = 0; j < NetHidden; j += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + j));
        for (int a = 0; a < addCount; ++a)
            v = _mm_add_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(add[a] + j)));
        for (int s = 0; s < subCount; ++s)
            v = _mm_sub_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub[s] + j)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j), v);
    }
}

int32_t dot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(NetQA);
    __m128i sum = _mm_setzero_si128();
    for (int j = 0; j < NetHidden; j += 8) {
        const __m128i a = _mm_min_epi16(
            _mm_max_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(stm + j)), zero), top);
        const __m128i b = _mm_min_epi16(
            _mm_max_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(other + j)), zero), top);
        sum = _mm_add_epi32(
            sum, _mm_madd_epi16(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + j))));
        sum = _mm_add_epi32(
            sum, _mm_madd_epi16(
                     b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + NetHidden + j))));
    }
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    return _mm_cvtsi128_si32(sum);
}

int64_t squaredDot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    const __m128i zero = _mm_setzero_si128(), top = _mm_set1_epi16(NetQA);
    __m128i sum = _mm_setzero_si128();
    for (int half = 0; half < 2; ++half) {
        const int16_t* units = half ? other : stm;
        const int16_t* weights = w + half * NetHidden;
        for (int j = 0; j < NetHidden; j += 8) {
            const __m128i h = _mm_min_epi16(
                _mm_max_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(units + j)), zero),
                top);
            // h * w fits 16 bits within the weight limit; madd then forms h * (h * w).
            const __m128i hw =
                _mm_mullo_epi16(h, _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + j)));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(h, hw));
        }
    }
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
    return int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
}

}  // namespace Sse2Kernels

namespace Avx2Kernels {

__attribute__((target("avx2"))) void rows(int16_t* dst, const int16_t* base,
                                          const int16_t* const* add, int addCount,
                                          const int16_t* const* sub, int subCount) {
    for (int j = 0; j < NetHidden; j += 16) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base + j));
        for (int a = 0; a < addCount; ++a)
            v = _mm256_add_epi16(v,
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add[a] + j)));
        for (int s = 0; s < subCount; ++s)
            v = _mm256_sub_epi16(v,
                                 _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub[s] + j)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + j), v);
    }
}

__attribute__((target("avx2"))) int32_t dot(const int16_t* stm, const int16_t* other,
                                            const int16_t* w) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(NetQA);
    __m256i sum = _mm256_setzero_si256();
    for (int j = 0; j < NetHidden; j += 16) {
        const __m256i a = _mm256_min_epi16(
            _mm256_max_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(stm + j)), zero),
            top);
        const __m256i b = _mm256_min_epi16(
            _mm256_max_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(other + j)), zero),
            top);
        sum = _mm256_add_epi32(
            sum, _mm256_madd_epi16(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + j))));
        sum = _mm256_add_epi32(
            sum, _mm256_madd_epi16(
                     b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + NetHidden + j))));
    }
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return _mm_cvtsi128_si32(s);
}

__attribute__((target("avx2"))) int64_t squaredDot(const int16_t* stm, const int16_t* other,
                                                   const int16_t* w) {
    const __m256i zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(NetQA);
    __m256i sum = _mm256_setzero_si256();
    for (int half = 0; half < 2; ++half) {
        const int16_t* units = half ? other : stm;
        const int16_t* weights = w + half * NetHidden;
        for (int j = 0; j < NetHidden; j += 16) {
            const __m256i h = _mm256_min_epi16(
                _mm256_max_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(units + j)),
                                 zero),
                top);
            const __m256i hw = _mm256_mullo_epi16(
                h, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + j)));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(h, hw));
        }
    }
    alignas(32) int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), sum);
    int64_t total = 0;
    for (int32_t lane : lanes) total += lane;
    return total;
}

}  // namespace Avx2Kernels

#endif  // TOLVO_X86_KERNELS
