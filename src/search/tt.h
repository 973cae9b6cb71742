// Transposition table: 16-byte slots in 64-byte buckets of four, shared by every searching
// thread without a lock.
#pragma once

#include <atomic>

#include "board/position.h"
#include "search/state.h"

// A slot's contents, as the search reads them.
struct TTEntry {
    uint32_t check;  // upper 32 bits of the key
    uint8_t generation;
    uint8_t bound;  // 0 move only, 1 upper, 2 exact, 4 lower
    int16_t depth;  // half-plies
    Move move;
    int16_t score;  // mate scores relative to the node
};

// A slot in memory: two words, each read and written whole. The head holds the check (bits
// 0-31), the generation (32-39), the bound (40-47) and the depth (48-63); the body the move
// (0-15) and the score (16-31), and 32 reserved bits of zero. The check is stored XORed with
// a fold of the other fields, so that a slot whose words come from two different writers
// fails its check and is never taken for the position: a reader copies each word once and
// decodes only its copies.
struct TTSlot {
    std::atomic<uint64_t> head;
    std::atomic<uint64_t> body;
};
static_assert(sizeof(TTSlot) == 16, "a bucket of four slots must fill one cache line");

constexpr uint8_t BoundNone = 0, BoundUpper = 1, BoundExact = 2, BoundLower = 4;

extern TTSlot* tableBase;
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
// How full the table is for the running search, per mille: the slots among the first 1000
// that are not empty and were written or hit under the current generation. Only reads.
int tableFill();

// The i-th slot visited for a key: the home slot first, then its bucket neighbours.
inline TTSlot& slotOf(uint64_t key, int i) {
    return tableBase[(key & tableMask) ^ uint64_t(i)];
}

// The fold covers every field a hit is used for; the generation, which only guides
// replacement, is left out so that a hit can refresh it alone. An empty slot folds to 0.
inline uint32_t foldOf(uint64_t head, uint64_t body) {
    return uint32_t(head >> 40) ^ uint32_t(body) ^ uint32_t(body >> 32);
}

inline TTEntry decodeSlot(uint64_t head, uint64_t body) {
    TTEntry e;
    e.check = uint32_t(head) ^ foldOf(head, body);
    e.generation = uint8_t(head >> 32);
    e.bound = uint8_t(head >> 40);
    e.depth = int16_t(uint16_t(head >> 48));
    e.move = Move(body);
    e.score = int16_t(uint16_t(body >> 16));
    return e;
}

// One consistent reading of a slot.
inline TTEntry readSlot(const TTSlot& s) {
    return decodeSlot(s.head.load(std::memory_order_relaxed),
                      s.body.load(std::memory_order_relaxed));
}

// The search's probe: the first slot of the position, counted as used by this search.
inline bool probeEntry(const Position& p, TTEntry& found) {
    const uint32_t check = uint32_t(p.key >> 32);
    for (int i = 0; i < 4; ++i) {
        TTSlot& s = slotOf(p.key, i);
        const uint64_t head = s.head.load(std::memory_order_relaxed);
        const uint64_t body = s.body.load(std::memory_order_relaxed);
        const TTEntry e = decodeSlot(head, body);
        if (e.check != check) continue;
        // Writing only a changed generation keeps hits from bouncing the line between cores.
        if (e.generation != tableGeneration)
            s.head.store((head & ~(uint64_t(0xFF) << 32)) | uint64_t(tableGeneration) << 32,
                         std::memory_order_relaxed);
        found = e;
        found.generation = tableGeneration;
        return true;
    }
    return false;
}

// Mate scores are kept relative to the node that stored them.
// Mate and tablebase scores count from the root; the table keeps them from the node.
inline int scoreToTable(int score, int ply) {
    return score < -TablebaseBound ? score - ply : score > TablebaseBound ? score + ply : score;
}
inline int scoreFromTable(int score, int ply) {
    return score < -TablebaseBound ? score + ply : score > TablebaseBound ? score - ply : score;
}
