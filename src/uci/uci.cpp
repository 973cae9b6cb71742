#include "uci/uci.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/fen.h"
#include "platform/platform.h"
#include "search/control.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/threads.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/output.h"
#include "uci/position_command.h"
#include "uci/reports.h"

void (*QuitProcess)() = [] {
    // No helper may still be running, or even waiting, when the process ends.
    shutdownSearchThreads();
    std::exit(0);
};

namespace {

bool isCommand(const char* line, const char* word) {
    return std::strcmp(line, word) == 0;
}
bool hasPrefix(const char* line, const char* word) {
    return std::strncmp(line, word, std::strlen(word)) == 0;
}

void identify() {
    // Rebuilt on every "uci" from its pieces.
    static char identification[128];
    const char* const pieces[] = {"id name ",
                                  "Vask",
                                  " ",
                                  "Tolv",
                                  "",
                                  "o",
                                  " ",
                                  "1.0.1 Beta",
                                  " \n",
                                  "id author ",
                                  "Quellin Strade, Support: Orvo Tamsk",
                                  " \n"};
    identification[0] = '\0';
    for (const char* piece : pieces) std::strcat(identification, piece);
    sendText("%s", identification);
    sendText("option name Hash type spin default 64 min 1 max 2048 \n");
    sendText(
        "option name Traffic Limit type combo default Normal var Ultrafast var Fast var Normal "
        "var Analyse var Ignore \n");
    sendText("option name Traffic Depth type spin default 10 min 0 max 255 \n");
    sendText("option name Threads type spin default 1 min 1 max 256 \n");
    sendText("option name MultiPV type spin default 1 min 1 max 256 \n");
    sendText("option name Ponder type check default false \n");
    sendText("option name Clear Hash type button \n");
    sendText("option name Move Overhead type spin default 0 min 0 max 5000 \n");
    sendText("option name Use NNUE type check default true \n");
    sendText("option name EvalFile type string default <empty> \n");
    sendText("option name UCI_LimitStrength type check default false \n");
    sendText("option name UCI_Elo type spin default %d min %d max %d \n", int(StrengthEloMax),
             int(StrengthEloMin), int(StrengthEloMax));
    sendText("option name UCI_Chess960 type check default false \n");
    sendText("option name SyzygyPath type string default <empty> \n");
    sendText("option name SyzygyProbeDepth type spin default 1 min 1 max 100 \n");
    sendText("option name Syzygy50MoveRule type check default true \n");
    sendText("option name SyzygyProbeLimit type spin default 7 min 0 max 7 \n");
    sendText("option name UCI_ShowWDL type check default false \n");
    sendText("uciok\n");
}

void go(const char* line) {
    // A "go" read while a search runs would nest a second search inside the first.
    if (searchRunning()) return;
    parseGo(line);
    selectEvaluation();
    prepareSearch();
    setGoRunning(true);
    if (!isSearchable(globalPosition)) {
        // A position the search cannot handle is answered without searching, held back
        // like any other result while pondering or analysing.
        PvLine none{};
        reportBestMove(0, none);
    } else {
        if (!readSearchMoves(line, globalPosition))
            sendText("info string searchmoves lists no legal move; searching all moves\n");
        const Position& p = globalPosition;
        reportMoveText = ReportMoveText{p.castleRooks, Chess960};
        rootInCheck = isSquareAttacked(p, p.kingSquare[p.sideToMove], p.sideToMove ^ 1);
        SearchDriver(globalPosition);
    }
    setGoRunning(false);
    applyDeferredOptions();
}

}  // namespace

void dispatchCommand(const char* line) {
    // No line matches two commands, so the first match ends the tests; it also keeps a line
    // read during a search from being tested against the commands after "go".
    if (isCommand(line, "uci")) {
        identify();
    } else if (isCommand(line, "isready")) {
        sendText("readyok\n");
    } else if (isCommand(line, "ucinewgame")) {
        // The position, the table and the options all stay as they are.
    } else if (hasPrefix(line, "position")) {
        positionCommand(globalPosition, line);
    } else if (hasPrefix(line, "go")) {
        go(line);
    } else if (isCommand(line, "ponderhit")) {
        Limits.ponderhitReceived = 1;
        startClock();
    } else if (isCommand(line, "stop")) {
        Limits.stopRequested = 1;
    } else if (isCommand(line, "quit")) {
        QuitProcess();
    } else if (hasPrefix(line, "setoption")) {
        setOption(line);
    } else if (hasPrefix(line, "debugFen")) {
        positionCommand(globalPosition, "");
    }
}

int commandLoop() {
    static char line[LineBufferSize];
    while (!inputEnded() && readLine(line, sizeof line)) dispatchCommand(line);
    return 0;
}
