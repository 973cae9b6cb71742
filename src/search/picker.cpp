#include "search/picker.h"

#include "search/search.h"

uint32_t StageSequence[8];
uint32_t StageStart[2];

void initMovePicker() {
    StageStart[1] = 0;
    const uint32_t sequence[8] = {StageEvasions, StageEnd,    StageHashMove, StageGoodCaptures,
                                  StageKillers,  StageQuiets, StageDeferred, StageEnd};
    for (int i = 0; i < 8; ++i) StageSequence[i] = sequence[i];
    StageStart[0] = 2;
}
