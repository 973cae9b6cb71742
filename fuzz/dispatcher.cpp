// The whole command loop fed arbitrary lines, searches included: lines that follow a "go" arrive
// while it searches, as a GUI's would, and the end of the data is the end of input, which stops
// whatever still runs. Each "go" read by the loop must be answered by exactly one "bestmove", and
// every line printed must be one the protocol knows. "quit" closes the input instead of ending
// the fuzzer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "eval/eval.h"
#include "platform/platform.h"
#include "search/control.h"
#include "search/search.h"
#include "search/startup.h"
#include "search/threads.h"
#include "search/tt.h"
#include "support/checks.h"
#include "support/scripted_platform.h"
#include "uci/input.h"
#include "uci/options.h"
#include "uci/position_command.h"
#include "uci/reports.h"
#include "uci/uci.h"

namespace {

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Every output line is one of the protocol's answers.
int countBestMoves(const char* output) {
    int bestMoves = 0;
    for (const char* line = output; *line;) {
        const char* end = std::strchr(line, '\n');
        FUZZ_CHECK(end != nullptr);
        FUZZ_CHECK(startsWith(line, "info ") || startsWith(line, "bestmove ") ||
                   startsWith(line, "readyok\n") || startsWith(line, "id ") ||
                   startsWith(line, "option name ") || startsWith(line, "uciok\n"));
        if (startsWith(line, "bestmove ")) ++bestMoves;
        line = end + 1;
    }
    return bestMoves;
}

}  // namespace

// The evaluation each session starts with, as after start-up.
uint32_t SessionEvaluationId;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initEngine();
    Reporter = ProtocolReporter;
    attachInput();
    QuitProcess = endInput;
    setOption("setoption name Hash value 1");
    takeOutput();
    SessionEvaluationId = EvaluationId;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each input is a session of its own: a fresh game position, default options (one
    // thread among them), an empty table, so that what it finds replays from the input alone.
    std::memset(static_cast<void*>(&globalPosition), 0, sizeof globalPosition);
    TrafficLimit = 2;
    TrafficDepth = 20;
    MultiPv = 1;
    MoveOverhead = 0;
    if (HashMegabytes != 1) setOption("setoption name Hash value 1");
    if (searchThreadCount() != 1) setOption("setoption name Threads value 1");
    // "Use NNUE" at its default with the embedded network; any file a line names is missing.
    setScriptedFile(nullptr, 0);
    setOption("setoption name Use NNUE value true");
    if (EvaluationId != SessionEvaluationId) {
        const char* reason = nullptr;
        installEmbeddedNetwork(reason);
        SessionEvaluationId = EvaluationId;
    }
    clearTable();

    feedInput(data, size);
    static char line[LineBufferSize];
    int searches = 0;
    while (readLine(line, sizeof line)) {
        if (startsWith(line, "go")) ++searches;
        dispatchCommand(line);
        FUZZ_CHECK(!searchRunning());
        if (isSearchable(globalPosition)) checkDerivedFields(globalPosition);
    }
    FUZZ_CHECK(countBestMoves(takeOutput()) == searches);
    return 0;
}
