#include "search/tt.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

TTSlot* tableBase;
uint64_t tableBytes;
uint64_t tableEntries;
uint64_t tableMask;
uint8_t tableGeneration;

namespace {

constexpr uint64_t Megabyte = uint64_t(1) << 20;

// The last resort when no block of even one megabyte can be had: the engine keeps a
// working table whatever the allocator says.
alignas(64) TTSlot FallbackTable[Megabyte / sizeof(TTSlot)];

// The block as the allocator returned it; the table starts at its first 64-byte boundary.
void* TableBlock;
// A block fresh from calloc is already zero, and the system hands its pages out zeroed only
// when first touched: the clear that follows each allocation need not touch gigabytes.
bool TableFreshlyZeroed;

void useTable(TTSlot* base, uint64_t bytes) {
    tableBase = base;
    tableBytes = bytes;
    tableEntries = bytes / sizeof(TTSlot);
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
            useTable(reinterpret_cast<TTSlot*>(aligned), bytes);
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

namespace {

inline void writeSlot(TTSlot& s, uint32_t check, uint8_t generation, int bound, int depth,
                      Move move, int16_t score) {
    const uint64_t body = uint64_t(move) | uint64_t(uint16_t(score)) << 16;
    const uint64_t fields = uint64_t(generation) << 32 | uint64_t(uint8_t(bound)) << 40 |
                            uint64_t(uint16_t(int16_t(depth))) << 48;
    const uint64_t head = fields | uint32_t(check ^ foldOf(fields, body));
    s.body.store(body, std::memory_order_relaxed);
    s.head.store(head, std::memory_order_relaxed);
}

}  // namespace

void storeEntry(const Position& p, Move move, int depth, int ply, int bound, int score) {
    // Written only by a store that follows an allocation without a clear (never during a
    // search: every allocation is cleared at once), so the threads only ever read it.
    if (TableFreshlyZeroed) TableFreshlyZeroed = false;
    const uint32_t check = uint32_t(p.key >> 32);
    const uint8_t generation = tableGeneration;
    const int16_t stored = int16_t(scoreToTable(score, ply));

    TTSlot* victim = nullptr;
    int victimWorth = 0;
    for (int i = 0; i < 4; ++i) {
        TTSlot& s = slotOf(p.key, i);
        const TTEntry e = readSlot(s);
        if (e.check == check) {
            writeSlot(s, check, generation, bound, depth, move ? move : e.move, stored);
            return;
        }
        // An entry of an earlier search is worth replacing before one of this search; among
        // equals the shallowest goes first.
        const int worth = (e.generation == generation ? 256 : 512) - e.depth;
        if (!victim || worth > victimWorth) {
            victim = &s;
            victimWorth = worth;
        }
    }
    writeSlot(*victim, check, generation, bound, depth, move, stored);
}

Move probeMove(const Position& p) {
    const uint32_t check = uint32_t(p.key >> 32);
    for (int i = 0; i < 4; ++i) {
        const TTEntry e = readSlot(slotOf(p.key, i));
        if (e.check == check) return e.move;
    }
    return 0;
}

int tableFill() {
    // Every table holds at least a megabyte: far more than a thousand slots.
    int used = 0;
    for (int i = 0; i < 1000; ++i) {
        const uint64_t head = tableBase[i].head.load(std::memory_order_relaxed);
        const uint64_t body = tableBase[i].body.load(std::memory_order_relaxed);
        if ((head | body) != 0 && uint8_t(head >> 32) == tableGeneration) ++used;
    }
    return used;
}
