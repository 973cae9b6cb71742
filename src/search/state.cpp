#include "search/state.h"

double TimeFactor = 1.0;
int32_t SoftStopAllowed;
int32_t TimeTrouble;
int32_t PreviousScore;

bool IsDraw(const Position& p) {
    if (p.rule50 >= 100) return true;
    if (p.rule50 < 4) return false;
    const int last = p.keyCount - 1;
    // A FEN may claim a long quiet stretch with no keys behind it: the scan stops at the
    // first stored key. A history overfilled by a faulty caller is not scanned at all.
    if (last >= KeyHistorySize) return false;
    const int oldest = last - p.rule50 < 0 ? 0 : last - p.rule50;
    for (int i = last - 4; i >= oldest; i -= 2)
        if (p.keyHistory[i] == p.key) return true;
    return false;
}
