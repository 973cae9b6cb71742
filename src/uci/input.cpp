#include "uci/input.h"

#include "platform/platform.h"
#include "search/control.h"
#include "uci/output.h"
#include "uci/uci.h"

namespace {

bool InputAttached;
bool InputEnded;

// The end of input acts as "stop": a GUI that went away must not leave an engine running.
void endOfInput() {
    InputEnded = true;
    Limits.stopRequested = 1;
}

// An analysis holds its result until "stop", a ponder search until "ponderhit" or "stop",
// also when it found its move early or never searched: the GUI waits for exactly one
// "bestmove" after its own command. An "infinite" that another limit overrode does not hold.
bool held() {
    if (Limits.stopRequested) return false;
    if (controlMode == ModeInfinite) return true;
    return Limits.ponder && !Limits.infinite && !Limits.ponderhitReceived;
}

}  // namespace

void attachInput() {
    InputAttached = true;
    InputPoll = pollInput;
}

bool inputEnded() {
    return InputEnded;
}

void pollInput() {
    if (!InputAttached || !inputWaiting()) return;
    // A buffer of its own: the command loop's line is still in use by the running "go".
    static char line[LineBufferSize];
    if (!readLine(line, sizeof line)) {
        endOfInput();
        return;
    }
    dispatchCommand(line);
}

void waitForRelease() {
    if (!InputAttached) return;
    static char line[LineBufferSize];
    while (held()) {
        if (!inputWaiting()) {
            sleepMs(1);
            continue;
        }
        if (!readLine(line, sizeof line)) {
            endOfInput();
            break;
        }
        // Every line is run as the periodic check runs it during the search: a GUI cannot
        // tell a held answer from a running search, so "go" is ignored, "position" replaces
        // the game position, and the options wait for the search's end as they would.
        dispatchCommand(line);
    }
}
