// Placeholder until the board lands.
#include "board/attacks.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/movetext.h"
#include "board/tables.h"
Bitboard SquareBit[64], FileMask[64], RankMask[64], DiagonalMask[64], AntiDiagonalMask[64],
    LineThrough[64][64], Between[64][64], AdjacentFiles[8], KnightAttacks[64], KingAttacks[64],
    PawnAttacks[2][64], BishopMask[64], RookMask[64], SliderAttacks[SliderTableSize],
    FrontSpan[2][64], AttackSpan[2][64], PassedPawnMask[2][64], PhalanxMask[64],
    KeySquares[2][64];
uint32_t BishopShift[64], RookShift[64], BishopOffset[64], RookOffset[64];
uint64_t BishopMagic[64], RookMagic[64];
AttackFunction PieceAttacks[16];
uint64_t PieceKey[16][64], EpKey[65], CastleKey[16], SideKey[2], MaterialKey[16][11],
    CastleMoveKey[4];
int32_t HistoryTable[16][64], CaptureScore[16][16];
const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
static void noGen(Position&, MoveList&, Bitboard) {}
const Generator MoveGenerators[8] = {noGen, noGen, noGen, noGen, noGen, noGen, noGen, noGen};
void buildGeometry() {}
void buildSliderTables() {}
void buildPawnMasks() {}
void initKeys() {}
void makeMove(Position&, UndoInfo&, Move) {}
void unmakeMove(Position&, const UndoInfo&, Move) {}
void makeNullMove(Position&, UndoInfo&) {}
void unmakeNullMove(Position&, const UndoInfo&) {}
bool isSquareAttacked(const Position&, int, Color) { return false; }
Bitboard attackersTo(const Position&, int, Color) { return 0; }
Bitboard sliderAttackersTo(const Position&, Bitboard, int, Color) { return 0; }
Bitboard pinnedPieces(const Position&, Color) { return 0; }
bool isLegal(Position&, Move) { return true; }
bool givesCheck(Position&, Move) { return false; }
void sortMoves(MoveList&) {}
bool isValidMove(const Position&, Move) { return false; }
void parseFen(Position&, const char*) {}
void derivePosition(Position&) {}
void computeKeys(Position&) {}
void loadFen(Position&, const char*) {}
bool isSearchable(const Position&) { return false; }
const char* moveToText(Move) { return "a1a1"; }
Move textToMove(Position&, const char*) { return 0; }
