#include "search/tt.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

TTEntry* tableBase;
uint64_t tableBytes;
uint64_t tableEntries;
uint64_t tableMask;
uint8_t tableGeneration;

namespace {

constexpr uint64_t Megabyte = uint64_t(1) << 20;

// The last resort when no block of even one megabyte can be had: the engine keeps a
// working table whatever the allocator says.
alignas(64) TTEntry FallbackTable[Megabyte / sizeof(TTEntry)];

// The block as the allocator returned it; the table starts at its first 64-byte boundary.
void* TableBlock;
// A block fresh from calloc is already zero, and the system hands its pages out zeroed only
// when first touched: the clear that follows each allocation need not touch gigabytes.
bool TableFreshlyZeroed;

void useTable(TTEntry* base, uint64_t bytes) {
    tableBase = base;
    tableBytes = bytes;
    tableEntries = bytes / sizeof(TTEntry);
    tableMask = tableEntries - 1;
}

}  // namespace

uint64_t tableSizeFor(int32_t megabytes) {
    const int32_t n = megabytes < 1 ? 1 : megabytes > 4096 ? 4096 : megabytes;
    int shift = 0;
    while ((int32_t(1) << (shift + 1)) <= n) ++shift;
    return Megabyte << shift;
}

void allocateTable(int32_t megabytes) {
    std::free(TableBlock);
    TableBlock = nullptr;
    for (uint64_t bytes = tableSizeFor(megabytes); bytes >= Megabyte; bytes /= 2) {
        if (bytes + 64 > SIZE_MAX) continue;
        TableBlock = std::calloc(size_t(bytes + 64), 1);
        if (TableBlock) {
            const uintptr_t aligned =
                (reinterpret_cast<uintptr_t>(TableBlock) + 63) & ~uintptr_t(63);
            useTable(reinterpret_cast<TTEntry*>(aligned), bytes);
            TableFreshlyZeroed = true;
            return;
        }
    }
    useTable(FallbackTable, sizeof(FallbackTable));
    TableFreshlyZeroed = false;
}

void clearTable() {
    if (!TableFreshlyZeroed) std::memset(static_cast<void*>(tableBase), 0, size_t(tableBytes));
    TableFreshlyZeroed = false;
}

void storeEntry(const Position& p, Move move, int depth, int ply, int bound, int score) {
    TableFreshlyZeroed = false;
    const uint32_t check = uint32_t(p.key >> 32);
    const uint8_t generation = tableGeneration;
    const int16_t stored = int16_t(scoreToTable(score, ply));

    TTEntry* victim = nullptr;
    int victimWorth = 0;
    for (int i = 0; i < 4; ++i) {
        TTEntry* e = slotOf(p.key, i);
        if (e->check == check) {
            e->generation = generation;
            e->bound = uint8_t(bound);
            e->depth = int16_t(depth);
            e->score = stored;
            if (move) e->move = move;
            return;
        }
        // An entry of an earlier search is worth replacing before one of this search; among
        // equals the shallowest goes first.
        const int worth = (e->generation == generation ? 256 : 512) - e->depth;
        if (!victim || worth > victimWorth) {
            victim = e;
            victimWorth = worth;
        }
    }
    victim->check = check;
    victim->generation = generation;
    victim->bound = uint8_t(bound);
    victim->depth = int16_t(depth);
    victim->move = move;
    victim->score = stored;
}

Move probeMove(const Position& p) {
    const uint32_t check = uint32_t(p.key >> 32);
    for (int i = 0; i < 4; ++i) {
        const TTEntry* e = slotOf(p.key, i);
        if (e->check == check) return e->move;
    }
    return 0;
}
