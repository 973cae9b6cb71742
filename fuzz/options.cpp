// Any line as "setoption" and as "go": the scanners stay inside the line, the options stay in
// their meaning and their ranges, and the time budgets never promise more time than the clock
// holds less the move overhead.
#include "uci/options.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "search/control.h"
#include "search/startup.h"
#include "search/state.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/tt.h"
#include "support/checks.h"
#include "support/scripted_platform.h"
#include "tablebase/tablebase.h"
#include "uci/position_command.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* line = text.c_str();

    if (!asksForLargeTable(line)) setOption(line);
    FUZZ_CHECK(TrafficLimit >= 0 && TrafficLimit <= 4);
    // The new options keep to their declared ranges whatever number the line holds.
    FUZZ_CHECK(MultiPv >= 1 && MultiPv <= 256);
    FUZZ_CHECK(MoveOverhead >= 0 && MoveOverhead <= 5000);
    FUZZ_CHECK(StrengthElo >= StrengthEloMin && StrengthElo <= StrengthEloMax);
    FUZZ_CHECK(LimitStrength == 0 || LimitStrength == 1);
    FUZZ_CHECK(SyzygyProbeDepth >= 1 && SyzygyProbeDepth <= 100);
    FUZZ_CHECK(SyzygyProbeLimit >= 0 && SyzygyProbeLimit <= 7);
    FUZZ_CHECK(Syzygy50MoveRule == 0 || Syzygy50MoveRule == 1);
    FUZZ_CHECK(ShowWdl == 0 || ShowWdl == 1);
    // The scripted platform lists no folder: a "SyzygyPath" finds no table and the prober is
    // never handed a path, whatever the input names.
    FUZZ_CHECK(tablebaseLargest() == 0);
    // Any thread count becomes one the pool can hold; back to one for the next input.
    FUZZ_CHECK(searchThreadCount() >= 1 && searchThreadCount() <= MaxSearchThreads);
    if (searchThreadCount() != 1) setSearchThreads(1);
    // Whatever size was asked for, the table is a power of two of at least one megabyte, and
    // every slot of it can be written.
    FUZZ_CHECK(tableBytes >= (1u << 20) && (tableBytes & (tableBytes - 1)) == 0);
    FUZZ_CHECK(tableBase != nullptr);
    tableBase[tableEntries - 1].head.store(0);
    tableBase[tableEntries - 1].body.store(0);

    // Both sides to move: the budgets read the mover's clock.
    for (uint32_t side = White; side <= Black; ++side) {
        globalPosition.sideToMove = side;
        parseGo(line);
        prepareSearch();
        FUZZ_CHECK(controlMode == ModeDepth || controlMode == ModeInfinite ||
                   controlMode == ModeMate || controlMode == ModeNodes ||
                   controlMode == (ModePonder | ModeClock) || controlMode == ModeMoveTime ||
                   controlMode == ModeClock);
        const int64_t remaining = side == White ? Limits.wtime : Limits.btime;
        const int64_t increment = side == White ? Limits.winc : Limits.binc;
        if (remaining >= 0 && increment >= 0) {
            FUZZ_CHECK(timeBudget >= 0 && timeBudgetMax >= 0);
            FUZZ_CHECK(timeBudgetMax <= remaining);
            FUZZ_CHECK(timeHardLimit >= 0 && (remaining == 0 || timeHardLimit < remaining));
            // The overhead is kept back from every limit.
            FUZZ_CHECK(timeBudgetMax <= (remaining > MoveOverhead ? remaining - MoveOverhead : 0));
            FUZZ_CHECK(timeHardLimit <= (remaining > MoveOverhead ? remaining - MoveOverhead : 0));
        }
        FUZZ_CHECK(moveTimeLimit <= Limits.movetime || moveTimeLimit == 0);
        FUZZ_CHECK(Limits.stopRequested == 0 && Limits.ponderhitReceived == 0);
        FUZZ_CHECK(totalNodes() == 0 && mainThread().iterationDepth == 0);
    }
    return 0;
}
