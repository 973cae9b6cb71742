// The staged move picker: a node's moves one at a time, each group generated only when the
// node gets that far.
#pragma once

#include "board/attacks.h"
#include "board/movegen.h"
#include "search/see.h"
#include "search/state.h"

enum Stage : uint32_t {
    StageHashMove = 1,
    StageGoodCaptures = 2,
    StageKillers = 3,
    StageQuiets = 4,
    StageDeferred = 5,
    StageEnd = 6,
    StageEvasions = 7,
};

extern uint32_t StageSequence[8];
// Where a picker starts in StageSequence, by whether the side to move is in check.
extern uint32_t StageStart[2];

struct MovePicker {
    MoveList moves;
    MoveList deferred;  // losing captures and, optionally, losing quiet moves, for the end
    Position* position;
    Bitboard targets;
    uint32_t stageIndex;
    uint32_t stageFresh;
    uint32_t deferLosingQuiets;
    // The continuation rows of the moves one and two plies back, for a policy that orders
    // quiet moves by them.
    ContinuationRow* continuation[2];
};

// The node's stack entry (hash move, killers, pinned set) must be in place first.
inline void startPicker(MovePicker& mp, Position& p, bool inCheck, bool deferLosingQuiets) {
    mp.position = &p;
    mp.targets = AllSquares;
    mp.stageIndex = StageStart[inCheck];
    mp.stageFresh = 1;
    mp.deferLosingQuiets = deferLosingQuiets;
}

inline uint32_t currentStage(const MovePicker& mp) {
    return StageSequence[mp.stageIndex];
}

// Fills the stage's list on the stage's first visit; true when it did.
inline bool generateOnce(MovePicker& mp, GeneratorKind kind) {
    if (!mp.stageFresh) return false;
    clearList(mp.moves);
    generateMoves(kind, *mp.position, mp.moves, mp.targets);
    mp.stageFresh = 0;
    return true;
}

// Quiet moves ordered by their history and their two continuation histories together.
inline void scoreQuietsByContinuation(MovePicker& mp) {
    const Position& p = *mp.position;
    MoveList& list = mp.moves;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moveWords[i];
        const int piece = p.board[moveFrom(m)], to = moveTo(m);
        const int score = (*p.history)[piece][to] + (*mp.continuation[0])[piece][to] +
                          (*mp.continuation[1])[piece][to];
        list.scores[i] = int16_t(score > 32767 ? 32767 : score < -32767 ? -32767 : score);
    }
    sortMoves(list);
}

// The next move, or 0 once the picker is exhausted (and on every call after that).
template <class Policy>
inline Move NextMove(MovePicker& mp) {
    Position& p = *mp.position;
    const SearchStackEntry& e = *p.stack;
    MoveList& list = mp.moves;
    for (;;) {
        switch (StageSequence[mp.stageIndex]) {
            case StageEnd:
                return 0;
            case StageHashMove:
                if (mp.stageFresh) {
                    clearList(mp.moves);
                    clearList(mp.deferred);
                    mp.stageFresh = 0;
                    const Move h = e.hashMove;
                    if (h && isValidMove(p, h) && isLegal(p, h)) return h;
                }
                break;
            case StageGoodCaptures:
                generateOnce(mp, GenCaptures);
                while (list.cursor < list.count) {
                    const Move m = list.moveWords[list.cursor++];
                    if (!m) break;
                    if (m == e.hashMove) continue;
                    if (StaticExchange(p, m) >= 0) {
                        if (isLegal(p, m)) return m;
                    } else {
                        pushMove(mp.deferred, m, 0);
                    }
                }
                break;
            case StageKillers:
                if (mp.stageFresh) {
                    clearList(list);
                    // A killer is a quiet move of a sibling; here it may have become a
                    // capture, which the capture stage already offered.
                    const Move killers[2] = {e.killer1, e.killer2};
                    for (const Move k : killers)
                        if (k && isValidMove(p, k) &&
                            (p.board[moveTo(k)] == Empty || moveKind(k) == KindCastle) &&
                            moveKind(k) != KindEnPassant && !isPromotion(k))
                            pushMove(list, k, 0);
                    mp.stageFresh = 0;
                }
                while (list.cursor < list.count) {
                    const Move m = list.moveWords[list.cursor++];
                    if (m != e.hashMove && isLegal(p, m)) return m;
                }
                break;
            case StageQuiets:
                if (generateOnce(mp, GenQuiets) && Policy::ContinuationHistory)
                    scoreQuietsByContinuation(mp);
                while (list.cursor < list.count) {
                    const Move m = list.moveWords[list.cursor++];
                    if (m == e.hashMove || m == e.killer1 || m == e.killer2) continue;
                    if (mp.deferLosingQuiets && StaticExchange(p, m) < 0)
                        pushMove(mp.deferred, m, 0);
                    else if (isLegal(p, m))
                        return m;
                }
                break;
            case StageDeferred:
                while (mp.deferred.cursor < mp.deferred.count) {
                    const Move m = mp.deferred.moveWords[mp.deferred.cursor++];
                    if (isLegal(p, m)) return m;
                }
                break;
            case StageEvasions:
                if (generateOnce(mp, GenEvasions)) {
                    for (int i = 0; i < list.count; ++i) {
                        if (list.moveWords[i] != e.hashMove || !e.hashMove) continue;
                        for (int j = i; j > 0; --j) list.moveWords[j] = list.moveWords[j - 1];
                        list.moveWords[0] = e.hashMove;
                        break;
                    }
                }
                if (list.cursor < list.count) return list.moveWords[list.cursor++];
                break;
            default:
                break;
        }
        ++mp.stageIndex;
        mp.stageFresh = 1;
    }
}
