// The network's kernels with NEON, which every 64-bit ARM CPU has.
#include "eval/network_kernels.h"

#ifdef TOLVO_NEON_KERNELS

#include <arm_neon.h>

namespace NeonKernels {

void rows(int16_t* dst, const int16_t* base, const int16_t* const* add, int addCount,
          const int16_t* const* sub, int subCount) {
    for (int j = 0; j < NetHidden; j += 8) {
        int16x8_t v = vld1q_s16(base + j);
        for (int a = 0; a < addCount; ++a) v = vaddq_s16(v, vld1q_s16(add[a] + j));
        for (int s = 0; s < subCount; ++s) v = vsubq_s16(v, vld1q_s16(sub[s] + j));
        vst1q_s16(dst + j, v);
    }
}

int32_t dot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    const int16x8_t zero = vdupq_n_s16(0), top = vdupq_n_s16(NetQA);
    int32x4_t sum = vdupq_n_s32(0);
    for (int j = 0; j < NetHidden; j += 8) {
        const int16x8_t a = vminq_s16(vmaxq_s16(vld1q_s16(stm + j), zero), top);
        const int16x8_t b = vminq_s16(vmaxq_s16(vld1q_s16(other + j), zero), top);
        const int16x8_t wa = vld1q_s16(w + j), wb = vld1q_s16(w + NetHidden + j);
        sum = vmlal_s16(sum, vget_low_s16(a), vget_low_s16(wa));
        sum = vmlal_high_s16(sum, a, wa);
        sum = vmlal_s16(sum, vget_low_s16(b), vget_low_s16(wb));
        sum = vmlal_high_s16(sum, b, wb);
    }
    return vaddvq_s32(sum);
}

int64_t squaredDot(const int16_t* stm, const int16_t* other, const int16_t* w) {
    const int16x8_t zero = vdupq_n_s16(0), top = vdupq_n_s16(NetQA);
    int32x4_t sum = vdupq_n_s32(0);
    for (int half = 0; half < 2; ++half) {
        const int16_t* units = half ? other : stm;
        const int16_t* weights = w + half * NetHidden;
        for (int j = 0; j < NetHidden; j += 8) {
            const int16x8_t h = vminq_s16(vmaxq_s16(vld1q_s16(units + j), zero), top);
            // h * w fits 16 bits within the weight limit; the widening multiply-add then
            // forms h * (h * w).
            const int16x8_t hw = vmulq_s16(h, vld1q_s16(weights + j));
            sum = vmlal_s16(sum, vget_low_s16(h), vget_low_s16(hw));
            sum = vmlal_high_s16(sum, h, hw);
        }
    }
    return vaddlvq_s32(sum);
}

}  // namespace NeonKernels

#endif  // TOLVO_NEON_KERNELS
