#include "uci/reports.h"

#include <cinttypes>
#include <cstring>

#include "board/movetext.h"
#include "search/control.h"
#include "search/tt.h"
#include "tablebase/tablebase.h"
#include "uci/input.h"

bool rootInCheck;
ReportMoveText reportMoveText = {CornerRooks, false};

namespace {

// The clock reads seconds since system start, so "never" cannot be a time of 0: the first
// node report of a run must print whatever the clock's origin.
bool nodeReportPrinted;
double lastNodeReport;

const char* moveText(Move m) {
    return moveToText(m, reportMoveText.rooks, reportMoveText.chess960);
}

double nodesPerSecond(uint64_t nodes) {
    // Within the first tick of a search no time has passed: report 0 rather than divide.
    return Clock.wallElapsed > 0 ? double(nodes) / Clock.wallElapsed : 0.0;
}

// With tables loaded, every node and PV report says how many probes of the search answered.
void reportTablebaseHits(OutputLine& line) {
    if (tablebaseLargest() > 0) appendText(line, "tbhits %" PRIu64 " ", totalTablebaseHits());
}

}  // namespace

void reportScore(OutputLine& line, int score) {
    if (score >= -MateBound && score <= MateBound) {
        appendText(line, "score cp %d ", score);
    } else if (score > MateBound) {
        int plies = MateScore - score;
        appendText(line, "score mate %d ", (plies + 1) / 2);
    } else {
        int plies = -MateScore - score;
        if (plies % 2 != 0) plies += 1;
        appendText(line, "score mate %d ", plies / 2);
    }
}

void reportPvMoves(OutputLine& line, const PvLine& pv) {
    char field[1024] = "pv ";
    size_t length = 3;
    int count = pv.count < 127 ? pv.count : 127;
    for (int i = 0; i < count; ++i) {
        const char* text = moveText(pv.moves[i]);
        size_t n = std::strlen(text);
        if (length + n + 2 > sizeof field) break;
        std::memcpy(field + length, text, n);
        field[length + n] = ' ';
        length += n + 1;
        field[length] = '\0';
    }
    appendText(line, "%s ", field);
}

void reportPv(int score, int depthPlies, int selDepth, const PvLine& pv, int multiPv) {
    // Helpers may still be counting: one reading for both fields.
    const uint64_t nodes = totalNodes();
    OutputLine line{};
    appendText(line, "info ");
    appendText(line, "depth %d ", depthPlies);
    appendText(line, "seldepth %d ", selDepth);
    if (multiPv > 0) appendText(line, "multipv %d ", multiPv);
    appendText(line, "nodes %" PRIu64 " ", nodes);
    reportTablebaseHits(line);
    // No legal move at the root: no score was ever found, and the position is either lost
    // (mated now) or drawn (stalemate).
    if (score == NoScore)
        appendText(line, rootInCheck ? "score mate 0 " : "score cp 0 ");
    else
        reportScore(line, score);
    appendText(line, "nps %0.f ", nodesPerSecond(nodes));
    reportPvMoves(line, pv);
    appendText(line, "\n");
    sendLine(line);
}

void reportNodes(bool force) {
    if (!force && nodeReportPrinted && Clock.wallNow - lastNodeReport <= 1000.0) return;
    // Helpers may still be counting: one reading for both fields.
    const uint64_t nodes = totalNodes();
    OutputLine line{};
    appendText(line, "info ");
    appendText(line, "nodes %" PRIu64 " ", nodes);
    reportTablebaseHits(line);
    appendText(line, "nps %0.f ", nodesPerSecond(nodes));
    appendText(line, "time %0.f ", Clock.wallElapsed * 1000.0);
    appendText(line, "hashfull %d ", tableFill());
    appendText(line, "\n");
    sendLine(line);
    nodeReportPrinted = true;
    lastNodeReport = Clock.wallNow;
}

void reportCurrentMove(Move move, int number) {
    OutputLine line{};
    appendText(line, "info ");
    appendText(line, "currmove %s ", moveText(move));
    appendText(line, "currmovenumber %d", number);
    appendText(line, "\n");
    sendLine(line);
}

void reportBestMove(Move move, const PvLine& pv) {
    waitForRelease();
    char best[8];
    std::strncpy(best, moveText(move), sizeof best - 1);
    best[sizeof best - 1] = '\0';
    if (pv.count >= 2)
        sendText("bestmove %s ponder %s \n", best, moveText(pv.moves[1]));
    else
        sendText("bestmove %s \n", best);
}

const SearchReporter ProtocolReporter = {reportPv, reportBestMove, reportCurrentMove, reportNodes};
