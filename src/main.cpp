// The engine: a UCI process driven over standard input and standard output.
#include "platform/platform.h"
#include "search/search.h"
#include "search/startup.h"
#include "search/threads.h"
#include "uci/input.h"
#include "uci/reports.h"
#include "uci/uci.h"

int main() {
    setupStreams();
    initEngine();
    Reporter = ProtocolReporter;
    attachInput();
    const int code = commandLoop();
    shutdownSearchThreads();
    return code;
}
