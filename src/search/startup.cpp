#include "search/startup.h"

#include <chrono>
#include <cstdint>

#include "board/position.h"
#include "board/tables.h"
#include "eval/eval.h"
#include "search/control.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/tt.h"

void initEngine() {
    // The order matters: sliders and pawn masks read the geometry, make/unmake reads
    // the piece-square values, the pawn-race table reads the file masks.
    buildGeometry();
    buildSliderTables();
    initKeys();
    buildPieceSquareTables();
    initMovePicker();
    allocateTable(HashMegabytes);
    clearTable();
    buildPawnMasks();
    buildSquareRule();
    buildPruneTables();
    // The network the learned evaluation starts with; a tested file, so it is always valid.
    const char* reason = nullptr;
    installEmbeddedNetwork(reason);
    // Limited strength picks among its lines at random: each run of the engine differently.
    seedStrengthRandom(
        uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
}
