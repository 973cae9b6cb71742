// Any line as a "position" command, and any text through the FEN reader: neither may read or
// write out of bounds, and a position the engine accepts must be consistent, with every legal
// move made, unmade and written as text without a flaw.
#include <cstddef>
#include <cstdint>
#include <string>

#include "search/startup.h"
#include "support/checks.h"
#include "uci/options.h"
#include "uci/position_command.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A NUL byte ends the line as it ends the engine's own line buffer.
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* line = text.c_str();

    static Position p;
    loadFen(p, line);
    if (isSearchable(p)) {
        checkDerivedFields(p);
        checkMoves(p);
    }

    // The last byte's low bit chooses how castling is read: as the king's move or, as with
    // "UCI_Chess960" on, only as the king taking its rook.
    Chess960 = size > 0 && (data[size - 1] & 1);
    positionCommand(p, line);
    if (isSearchable(p)) {
        checkDerivedFields(p);
        checkMoves(p);
    }

    // Any word is either a move of the position or no move at all.
    for (size_t i = 0; i + 1 < size; i += 2) {
        const Move m = Move(data[i] | data[i + 1] << 8);
        if (isSearchable(p) && isValidMove(p, m)) {
            FUZZ_CHECK(textToMove(p, moveToText(p, m)) == m);
            FUZZ_CHECK(textToMove(p, moveToText(p, m, true), true) == m);
        }
    }
    return 0;
}
