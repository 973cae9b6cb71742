// Transposition table: 16-byte slots in 64-byte buckets of four.
#pragma once

#include "board/position.h"
#include "search/state.h"

struct TTEntry {
    uint32_t check;  // upper 32 bits of the key
    uint8_t generation;
    uint8_t bound;  // 0 move only, 1 upper, 2 exact, 4 lower
    int16_t depth;  // half-plies
    Move move;
    int16_t score;  // mate scores relative to the node
    uint32_t reserved;
};
static_assert(sizeof(TTEntry) == 16, "a bucket of four slots must fill one cache line");

constexpr uint8_t BoundNone = 0, BoundUpper = 1, BoundExact = 2, BoundLower = 4;

extern TTEntry* tableBase;
extern uint64_t tableBytes;
extern uint64_t tableEntries;
extern uint64_t tableMask;
extern uint8_t tableGeneration;

// Bytes of the table for a "Hash" value: the largest power of two of megabytes not above
// it, clamped to 1..4096 MB.
uint64_t tableSizeFor(int32_t megabytes);
// Sizes to tableSizeFor(n). Never leaves the engine without a table: a failed allocation
// falls back to smaller sizes.
void allocateTable(int32_t megabytes);
void clearTable();
void storeEntry(const Position& p, Move move, int depth, int ply, int bound, int score);
Move probeMove(const Position& p);

inline TTEntry* bucketOf(uint64_t key) {
    return tableBase + ((key & tableMask) & ~uint64_t(3));
}

// The i-th slot visited for a key: the home slot first, then its bucket neighbours.
inline TTEntry* slotOf(uint64_t key, int i) {
    return tableBase + ((key & tableMask) ^ uint64_t(i));
}

// The search's probe: the first slot of the position, counted as used by this search.
inline TTEntry* probeEntry(const Position& p) {
    const uint32_t check = uint32_t(p.key >> 32);
    for (int i = 0; i < 4; ++i) {
        TTEntry* e = slotOf(p.key, i);
        if (e->check == check) {
            e->generation = tableGeneration;
            return e;
        }
    }
    return nullptr;
}

// Mate scores are kept relative to the node that stored them.
inline int scoreToTable(int score, int ply) {
    return score < -MateBound ? score - ply : score > MateBound ? score + ply : score;
}
inline int scoreFromTable(int score, int ply) {
    return score < -MateBound ? score + ply : score > MateBound ? score - ply : score;
}
