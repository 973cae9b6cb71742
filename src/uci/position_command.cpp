#include "uci/position_command.h"

#include <cstring>

#include "board/fen.h"
#include "board/movetext.h"
#include "uci/options.h"

Position globalPosition;

namespace {

// Keys kept when a long game is replayed: more than the half-move counter can ever reach,
// since older keys are never compared by the repetition test.
constexpr int KeptKeys = 256;
constexpr int KeyLimit = KeyHistorySize - KeyHistoryReserve;
static_assert(KeptKeys < KeyLimit, "the history must keep room after a shift");

// Makes room for one more key, dropping the oldest ones, so that a search started from the
// position always has KeyHistoryReserve free slots.
void makeRoomForKey(Position& p) {
    if (p.keyCount < KeyLimit) return;
    std::memmove(p.keyHistory, p.keyHistory + p.keyCount - KeptKeys,
                 KeptKeys * sizeof p.keyHistory[0]);
    p.keyCount = KeptKeys;
}

// "0000": the side to move passes. Unlike the search's null move the fifty-move counter
// keeps running, because the game goes on from here.
void playPass(Position& p) {
    p.key ^=
        SideKey[p.sideToMove] ^ SideKey[p.sideToMove ^ 1] ^ EpKey[p.epSquare] ^ EpKey[NoSquare];
    p.sideToMove ^= 1;
    p.epSquare = NoSquare;
    if (p.rule50 < 255) ++p.rule50;
    p.keyHistory[p.keyCount++] = p.key;
}

}  // namespace

void setupPosition(Position& p, const char* line) {
    const char* fen = std::strstr(line, "fen");
    std::memset(static_cast<void*>(&p), 0, sizeof p);
    if (std::strstr(line, "startpos")) {
        parseFen(p, StartFen);
    } else if (fen) {
        // The board field starts after the word and one separator, if the line goes on.
        parseFen(p, fen[3] ? fen + 4 : fen + 3);
    }
    derivePosition(p);
}

void positionCommand(Position& p, const char* line) {
    const char* moves = std::strstr(line, "moves");
    setupPosition(p, line);
    // Moves are only ever played on a position the engine can handle; one that breaks it
    // (an illegal move the GUI should not have sent) ends the list.
    if (!moves || !isSearchable(p)) return;
    const char* at = moves + 5;
    while (*at) {
        // at points at the separator before the move text: four characters, then a fifth
        // (the promotion letter) unless a blank or the end follows.
        char text[6] = {};
        size_t length = 0;
        while (length < 4 && at[1 + length]) {
            text[length] = at[1 + length];
            ++length;
        }
        if (length < 4) return;  // a fragment: nothing to play, nothing after it
        if (at[5] != ' ' && at[5] != '\0') {
            text[4] = at[5];
            at += 6;
        } else {
            at += 5;
        }
        Move m = 0;
        if (std::strncmp(text, "0000", 4) != 0) {
            m = textToMove(p, text, Chess960);
            if (m == 0) return;  // matches no move: never hand word 0 to makeMove
        }
        makeRoomForKey(p);
        if (m == 0) {
            playPass(p);
        } else {
            UndoInfo undo;
            makeMove(p, undo, m);
        }
        if (!isSearchable(p)) return;
    }
}
