// The network's inner loops, once per instruction set; network.cpp picks one set at start-up.
#pragma once

#include <cstdint>

#include "eval/network.h"

// Each set has the same two kernels:
//   rows: dst = base + the add rows - the sub rows, lane by lane over NetHidden lanes, every
//         sum wrapping in 16 bits (within the weight limits nothing wraps for a real position;
//         wrapping alike on every path keeps even a broken position's integers the same);
//   dot:  the sum over j of clamp(stm[j], 0, NetQA) * w[j] + clamp(other[j], 0, NetQA) *
//         w[NetHidden + j], which the limits keep inside int32;
//   squaredDot: the same with each clipped unit squared, exact in 64 bits for weights within
//         the squared activation's limit (each lane's partial sum stays inside int32).
#define TOLVO_DECLARE_KERNELS(set)                                                        \
    namespace set {                                                                       \
    void rows(int16_t* dst, const int16_t* base, const int16_t* const* add, int addCount, \
              const int16_t* const* sub, int subCount);                                   \
    int32_t dot(const int16_t* stm, const int16_t* other, const int16_t* w);              \
    int64_t squaredDot(const int16_t* stm, const int16_t* other, const int16_t* w);       \
    }

TOLVO_DECLARE_KERNELS(PlainKernels)
#if defined(__x86_64__) || defined(_M_X64)
#define TOLVO_X86_KERNELS 1
TOLVO_DECLARE_KERNELS(Sse2Kernels)
TOLVO_DECLARE_KERNELS(Avx2Kernels)
#endif
#if defined(__aarch64__)
#define TOLVO_NEON_KERNELS 1
TOLVO_DECLARE_KERNELS(NeonKernels)
#endif

#undef TOLVO_DECLARE_KERNELS
