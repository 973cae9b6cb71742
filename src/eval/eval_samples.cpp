#include "eval/eval_samples.h"

#include <fstream>
#include <memory>

#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "platform/random.h"

std::vector<std::string> readFenLines(const char* path) {
    std::vector<std::string> fens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        // A '#' line says where the positions come from.
        if (line.compare(0, 1, "#") == 0) continue;
        line = line.substr(0, line.find(';'));
        const size_t end = line.find_last_not_of(" \t\r\n");
        if (end != std::string::npos) fens.push_back(line.substr(0, end + 1));
    }
    return fens;
}

namespace {

int legalMoves(Position& p, MoveList& list) {
    SearchStackEntry entry{};
    entry.lastTacticalTo = NoSquare;
    entry.pinned = pinnedPieces(p, Color(p.sideToMove));
    entry.inCheck = isSquareAttacked(p, p.kingSquare[p.sideToMove], Color(p.sideToMove ^ 1));
    p.stack = &entry;
    MoveList pseudo;
    clearList(pseudo);
    clearList(list);
    if (entry.inCheck) {
        generateMoves(GenEvasions, p, list);
    } else {
        generateMoves(GenCaptures, p, pseudo);
        generateMoves(GenQuiets, p, pseudo);
        for (int i = 0; i < pseudo.count; ++i) {
            if (isLegal(p, pseudo.moveWords[i])) pushMove(list, pseudo.moveWords[i], 0);
        }
    }
    p.stack = nullptr;
    return list.count;
}

}  // namespace

void forEachSamplePosition(const std::vector<std::string>& startFens, int count, uint64_t seed,
                           int maxPlies, const std::function<void(Position&)>& visit) {
    if (startFens.empty() || maxPlies <= 0) return;
    auto position = std::make_unique<Position>();
    Position& p = *position;
    uint64_t rng = seed;
    MoveList list;
    UndoInfo undo;
    int visited = 0, visitedThisRound = 0;
    for (size_t game = 0; visited < count; ++game) {
        // A round of start positions that yields nothing would yield nothing forever.
        if (game % startFens.size() == 0) {
            if (game > 0 && visitedThisRound == 0) return;
            visitedThisRound = 0;
        }
        loadFen(p, startFens[game % startFens.size()].c_str());
        if (!isSearchable(p)) continue;
        const int plies = 1 + int(splitmix64(rng) % uint64_t(maxPlies));
        for (int ply = 0; ply < plies && visited < count; ++ply) {
            if (legalMoves(p, list) == 0) break;
            makeMove(p, undo, list.moveWords[splitmix64(rng) % list.count]);
            if (!isSearchable(p)) break;
            visit(p);
            ++visited;
            ++visitedThisRound;
        }
    }
}
