// Plays games between two engine processes under a time control and judges every move.
#pragma once

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/fen.h"
#include "judge.h"
#include "process.h"

namespace selfplay {

enum class TimeMode { Clock, MoveTime, Depth };

struct MatchSettings {
    std::string engineCommands[2];
    int games = 10;
    TimeMode mode = TimeMode::Clock;
    int64_t baseMs = 1000;  // clock mode
    int64_t incMs = 10;
    int64_t moveTimeMs = 0;  // movetime mode
    int depth = 0;           // depth mode
    bool ponder = false;
    // Pipe latency and scheduling that an engine is not charged for: a clock may fall this
    // far below zero, and a fixed move time may be overrun by this much.
    int64_t graceMs = 100;
    // Any wait that no clock bounds: "uciok", "readyok", a depth-limited search, the answer to
    // "stop" at the end of a game.
    int64_t timeoutMs = 30000;
    std::vector<std::string> openings;  // FEN texts; none means the start position
    // Sent with "setoption": to both engines, then to each engine alone (first and second).
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::pair<std::string, std::string>> engineOptions[2];
    bool verbose = false;
};

enum class Fault { None, Illegal, Crash, Time };

struct Player {
    EngineProcess proc;
    std::string name;   // as it introduced itself
    std::string label;  // name and engine number, for the record
    bool declaresPonder = false;
    bool needsRestart = false;
    // The state of one game:
    bool owesBestMove = false;  // a search or a ponder search runs
    bool pondering = false;     // on ponderMove, not yet released by "ponderhit" or "stop"
    std::string ponderMove;
    int64_t clockUs = 0;
    std::string lastScore;  // from the running search's reports, for the record
    std::string lastDepth;
};

struct FaultNote {
    int player;
    Fault fault;
    std::string text;
};

struct GameRecord {
    int number = 0;
    int whitePlayer = 0;  // index of the player with the white pieces
    std::string result = "*";
    std::string reason;
    std::string termination = "normal";
    GameBoard board;
    std::vector<std::string> comments;  // one per ply
    std::vector<FaultNote> faults;      // every fault seen, in order
    // The closest call of the game: the least time left of a clock or a fixed move time when a
    // move arrived, and the ply of that move.
    int64_t smallestMarginUs = INT64_MAX;
    int smallestMarginPly = -1;
};

struct Match {
    MatchSettings settings;
    Player players[2];
    int firstTag = 1;  // of the first player in the traffic log; matches played at once differ
};

inline const char* colourName(int side) {
    return side == White ? "White" : "Black";
}

inline std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

inline std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// An engine's line as quoted in a report: trimmed, and cut if an engine wrote a very long one.
inline std::string quoted(const std::string& line) {
    std::string text = trimmed(line);
    return text.size() <= 100 ? text : text.substr(0, 100) + "...";
}

inline bool isBestMoveLine(const std::string& line) {
    std::vector<std::string> w = splitWords(line);
    return !w.empty() && w[0] == "bestmove";
}

// Keeps the last depth and score an engine reported, for the comment on its move.
inline void noteReport(Player& pl, const std::string& line) {
    std::vector<std::string> w = splitWords(line);
    if (w.empty() || w[0] != "info") return;
    for (size_t i = 1; i + 1 < w.size(); ++i) {
        if (w[i] == "depth") pl.lastDepth = w[i + 1];
        if (w[i] == "score" && i + 2 < w.size()) {
            if (w[i + 1] == "cp") {
                char text[32];
                std::snprintf(text, sizeof text, "%+.2f", std::atoi(w[i + 2].c_str()) / 100.0);
                pl.lastScore = text;
            } else if (w[i + 1] == "mate") {
                pl.lastScore = (w[i + 2][0] == '-' ? "-M" + w[i + 2].substr(1) : "+M" + w[i + 2]);
            }
        }
    }
}

inline void resetReports(Player& pl) {
    pl.lastScore.clear();
    pl.lastDepth.clear();
}

inline std::string seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g s", ms / 1000.0);
    return text;
}

// Starts the engine and waits for "uciok"; then sets the options.
inline bool startPlayer(Match& m, int index, std::string& error) {
    Player& pl = m.players[index];
    const MatchSettings& s = m.settings;
    pl.proc = EngineProcess{};
    pl.proc.command = s.engineCommands[index];
    pl.proc.verbose = s.verbose;
    pl.proc.tag = m.firstTag + index;
    pl.needsRestart = false;
    pl.owesBestMove = pl.pondering = false;
    if (!startProcess(pl.proc, error)) return false;
    TimePoint deadline = afterMs(now(), s.timeoutMs);
    sendLine(pl.proc, "uci", deadline);
    for (;;) {
        std::string line;
        ReadResult r = readLine(pl.proc, line, deadline);
        if (r == ReadResult::Timeout) {
            error = "no \"uciok\" within " + seconds(s.timeoutMs);
            return false;
        }
        if (r == ReadResult::Closed) {
            error = "ended before \"uciok\" (" + stopProcess(pl.proc, 200) + ")";
            return false;
        }
        line = trimmed(line);
        if (line == "uciok") break;
        if (line.compare(0, 8, "id name ") == 0) pl.name = trimmed(line.substr(8));
        if (line.compare(0, 19, "option name Ponder ") == 0) pl.declaresPonder = true;
    }
    if (pl.name.empty()) pl.name = "engine";
    for (const auto* list : {&s.options, &s.engineOptions[index]})
        for (const auto& option : *list)
            sendLine(pl.proc, "setoption name " + option.first + " value " + option.second,
                     deadline);
    if (s.ponder && pl.declaresPonder)
        sendLine(pl.proc, "setoption name Ponder value true", deadline);
    return true;
}

inline void addFault(GameRecord& g, int player, Fault fault, const std::string& text) {
    g.faults.push_back(FaultNote{player, fault, text});
}

// Ends the game as a loss for the player's side.
inline void forfeit(Match& m, GameRecord& g, int player, Fault fault, const std::string& what) {
    int side = player == g.whitePlayer ? White : Black;
    g.result = side == White ? "0-1" : "1-0";
    g.reason = std::string(colourName(side)) + " " + what;
    g.termination = fault == Fault::Time      ? "time forfeit"
                    : fault == Fault::Illegal ? "rules infraction"
                                              : "abandoned";
    addFault(g, player, fault, g.reason);
    // A player that crashed, hung or still thinks past its time is ended now, so that it
    // does not run on beside the next game, and started afresh for that game.
    if (fault != Fault::Illegal) {
        stopProcess(m.players[player].proc, 0);
        m.players[player].needsRestart = true;
    }
}

// Starts the engine again if it has to be, then "ucinewgame" and "isready".
inline bool prepareForGame(Match& m, GameRecord& g, int index) {
    Player& pl = m.players[index];
    const MatchSettings& s = m.settings;
    std::string error;
    if (pl.needsRestart || pl.proc.pid < 0) {
        stopProcess(pl.proc, 0);
        if (!startPlayer(m, index, error)) {
            forfeit(m, g, index, Fault::Crash, "could not restart its engine: " + error);
            return false;
        }
    }
    TimePoint deadline = afterMs(now(), s.timeoutMs);
    sendLine(pl.proc, "ucinewgame", deadline);
    sendLine(pl.proc, "isready", deadline);
    std::string line;
    for (;;) {
        ReadResult r = readLine(pl.proc, line, deadline);
        if (r == ReadResult::Timeout) {
            forfeit(m, g, index, Fault::Crash,
                    "hung: no \"readyok\" within " + seconds(s.timeoutMs));
            return false;
        }
        if (r == ReadResult::Closed) {
            forfeit(m, g, index, Fault::Crash, "crashed (" + stopProcess(pl.proc, 200) + ")");
            return false;
        }
        if (trimmed(line) == "readyok") return true;
    }
}

inline std::string positionCommand(const GameBoard& b, const std::string& extraMove = "") {
    std::string text = b.startFen == StartFen ? "position startpos" : "position fen " + b.startFen;
    if (!b.moveTexts.empty() || !extraMove.empty()) {
        text += " moves";
        for (const std::string& mv : b.moveTexts) text += " " + mv;
        if (!extraMove.empty()) text += " " + extraMove;
    }
    return text;
}

inline std::string goCommand(const Match& m, const GameRecord& g, bool ponder) {
    const MatchSettings& s = m.settings;
    std::string text = ponder ? "go ponder" : "go";
    if (s.mode == TimeMode::Clock) {
        auto shown = [](int64_t us) { return std::to_string(us > 0 ? us / 1000 : 0); };
        const Player& white = m.players[g.whitePlayer];
        const Player& black = m.players[g.whitePlayer ^ 1];
        text += " wtime " + shown(white.clockUs) + " btime " + shown(black.clockUs) + " winc " +
                std::to_string(s.incMs) + " binc " + std::to_string(s.incMs);
    } else if (s.mode == TimeMode::MoveTime) {
        text += " movetime " + std::to_string(s.moveTimeMs);
    } else {
        text += " depth " + std::to_string(s.depth);
    }
    return text;
}

// The latest moment a player's "bestmove" may arrive when its turn started at start.
inline TimePoint moveDeadline(const Match& m, const Player& pl, TimePoint start) {
    const MatchSettings& s = m.settings;
    if (s.mode == TimeMode::Clock) return afterMs(start, pl.clockUs / 1000 + s.graceMs);
    if (s.mode == TimeMode::MoveTime) return afterMs(start, s.moveTimeMs + s.graceMs);
    return afterMs(start, s.timeoutMs);
}

enum class WaitKind { BestMove, Timeout, Closed, OtherClosed, OtherEarly };

// Waits for the mover's "bestmove" and meanwhile reads the other player, which may ponder:
// its output must not fill the pipe, a "bestmove" before it was released is a fault, and so
// is its death.
inline WaitKind waitForBestMove(Player& mover, Player& other, TimePoint deadline,
                                std::string& bestMoveLine) {
    for (;;) {
        drainOutput(other.proc);
        while (!other.proc.lines.empty()) {
            std::string line = std::move(other.proc.lines.front());
            other.proc.lines.pop_front();
            if (isBestMoveLine(line) && other.pondering) {
                bestMoveLine = line;
                other.owesBestMove = other.pondering = false;
                return WaitKind::OtherEarly;
            }
            if (other.pondering) noteReport(other, line);
        }
        if (other.proc.closed) return WaitKind::OtherClosed;
        drainOutput(mover.proc);
        while (!mover.proc.lines.empty()) {
            std::string line = std::move(mover.proc.lines.front());
            mover.proc.lines.pop_front();
            if (isBestMoveLine(line)) {
                bestMoveLine = line;
                mover.owesBestMove = false;
                return WaitKind::BestMove;
            }
            noteReport(mover, line);
        }
        if (mover.proc.closed) return WaitKind::Closed;
        if (now() >= deadline) return WaitKind::Timeout;
        waitForOutput({&mover.proc, &other.proc}, deadline);
    }
}

// A "bestmove" of a ponder search that the engine wrote before it was released, and that
// the wait for the opponent's move did not see yet.
inline bool answeredEarly(Player& pl, std::string& bestMoveLine) {
    drainOutput(pl.proc);
    while (!pl.proc.lines.empty()) {
        std::string line = std::move(pl.proc.lines.front());
        pl.proc.lines.pop_front();
        if (isBestMoveLine(line)) {
            bestMoveLine = line;
            pl.owesBestMove = pl.pondering = false;
            return true;
        }
        noteReport(pl, line);
    }
    return false;
}

// Settles a wait that did not bring the mover's move: a fault of one of the two players.
inline void forfeitForWait(Match& m, GameRecord& g, int mover, WaitKind kind,
                           const std::string& line, TimePoint start) {
    Player& pl = m.players[mover];
    switch (kind) {
        case WaitKind::Timeout:
            forfeit(m, g, mover, Fault::Time,
                    "loses on time: no \"bestmove\" within " +
                        std::to_string(microsBetween(start, now()) / 1000) + " ms");
            break;
        case WaitKind::Closed:
            forfeit(m, g, mover, Fault::Crash, "crashed (" + stopProcess(pl.proc, 200) + ")");
            break;
        case WaitKind::OtherClosed:
            forfeit(m, g, mover ^ 1, Fault::Crash,
                    "crashed (" + stopProcess(m.players[mover ^ 1].proc, 200) + ")");
            break;
        case WaitKind::OtherEarly:
            forfeit(m, g, mover ^ 1, Fault::Illegal,
                    "answered before \"ponderhit\" or \"stop\": " + quoted(line));
            break;
        case WaitKind::BestMove:
            break;
    }
}

// Takes back a search whose result is not wanted: "stop", then its "bestmove" is dropped.
inline ReadResult cancelSearch(Player& pl, TimePoint deadline) {
    sendLine(pl.proc, "stop", deadline);
    std::string line;
    pl.owesBestMove = pl.pondering = false;
    return readUntil(pl.proc, "bestmove", line, deadline);
}

inline const char* endingText(Ending e, int sideToMove) {
    switch (e) {
        case Ending::Checkmate:
            return sideToMove == White ? "Black mates" : "White mates";
        case Ending::Stalemate:
            return "stalemate";
        case Ending::FiftyMoves:
            return "50-move rule";
        case Ending::Repetition:
            return "threefold repetition";
        case Ending::Material:
            return "insufficient material";
        case Ending::None:
            break;
    }
    return "";
}

// True when the game is over by the rules; sets the result.
inline bool concludeByRules(GameRecord& g) {
    Ending e = gameEnding(g.board);
    if (e == Ending::None) return false;
    int side = int(g.board.pos.sideToMove);
    g.result = e == Ending::Checkmate ? (side == White ? "0-1" : "1-0") : "1/2-1/2";
    g.reason = endingText(e, side);
    return true;
}

// Plays one move of the side to move. False when the game ended with a fault.
inline bool playOneMove(Match& m, GameRecord& g) {
    const MatchSettings& s = m.settings;
    int side = int(g.board.pos.sideToMove);
    int mover = side == White ? g.whitePlayer : g.whitePlayer ^ 1;
    Player& pl = m.players[mover];
    Player& other = m.players[mover ^ 1];
    // The clock runs from the moment the opponent's move is known.
    TimePoint start = now();
    TimePoint deadline = moveDeadline(m, pl, start);
    std::string line;
    const std::string lastMove = g.board.moveTexts.empty() ? "" : g.board.moveTexts.back();
    if (pl.pondering && answeredEarly(pl, line)) {
        forfeit(m, g, mover, Fault::Illegal,
                "answered before \"ponderhit\" or \"stop\": " + quoted(line));
        return false;
    }
    if (pl.pondering && pl.ponderMove == lastMove) {
        pl.pondering = false;
        sendLine(pl.proc, "ponderhit", deadline);
    } else {
        if (pl.pondering) {
            // A wrong guess: the ponder search is stopped and its answer dropped, on the
            // mover's own time.
            pl.pondering = false;
            sendLine(pl.proc, "stop", deadline);
            WaitKind kind = waitForBestMove(pl, other, deadline, line);
            if (kind != WaitKind::BestMove) {
                forfeitForWait(m, g, mover, kind, line, start);
                return false;
            }
        }
        resetReports(pl);
        sendLine(pl.proc, positionCommand(g.board), deadline);
        sendLine(pl.proc, goCommand(m, g, false), deadline);
        pl.owesBestMove = true;
    }
    WaitKind kind = waitForBestMove(pl, other, deadline, line);
    int64_t usedUs = microsBetween(start, now());
    if (kind != WaitKind::BestMove) {
        forfeitForWait(m, g, mover, kind, line, start);
        return false;
    }
    int64_t marginUs = s.mode == TimeMode::Clock      ? pl.clockUs - usedUs
                       : s.mode == TimeMode::MoveTime ? s.moveTimeMs * 1000 - usedUs
                                                      : INT64_MAX;
    if (marginUs < g.smallestMarginUs) {
        g.smallestMarginUs = marginUs;
        g.smallestMarginPly = int(g.board.moveTexts.size()) + 1;
    }
    if (s.mode == TimeMode::Clock) {
        pl.clockUs -= usedUs;
        if (pl.clockUs < -s.graceMs * 1000) {
            forfeit(m, g, mover, Fault::Time,
                    "loses on time: answered after " + std::to_string(usedUs / 1000) + " ms");
            return false;
        }
        pl.clockUs += s.incMs * 1000;
    }
    std::vector<std::string> words = splitWords(line);
    Move move = words.size() >= 2 ? parseLegalMove(g.board.pos, words[1], g.board.chess960) : 0;
    if (move == 0) {
        forfeit(m, g, mover, Fault::Illegal, "plays an illegal move: " + quoted(line));
        return false;
    }
    std::string comment = pl.lastScore.empty() ? "" : pl.lastScore + "/" + pl.lastDepth + " ";
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%.3fs", usedUs / 1e6);
    g.comments.push_back(comment + timeText);
    playMove(g.board, move);
    if (concludeByRules(g)) return false;

    // The predicted reply must be legal too, whether or not it is pondered on.
    if (words.size() >= 4 && words[2] == "ponder") {
        if (!parseLegalMove(g.board.pos, words[3], g.board.chess960)) {
            addFault(
                g, mover, Fault::Illegal,
                std::string(colourName(side)) + " names an illegal ponder move: " + quoted(line));
        } else if (s.ponder) {
            resetReports(pl);
            sendLine(pl.proc, positionCommand(g.board, words[3]), deadline);
            sendLine(pl.proc, goCommand(m, g, true), deadline);
            pl.owesBestMove = pl.pondering = true;
            pl.ponderMove = words[3];
        }
    }
    return true;
}

// Both engines told "UCI_Chess960" true: the referee reads and writes castling as the king
// taking its rook.
inline bool playsChess960(const MatchSettings& s) {
    for (const auto& option : s.options) {
        std::string value = option.second;
        for (char& c : value) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (option.first == "UCI_Chess960") return value == "true";
    }
    return false;
}

// Plays one game; player whitePlayer has the white pieces.
inline GameRecord playGame(Match& m, int number, const std::string& fen, int whitePlayer) {
    const MatchSettings& s = m.settings;
    GameRecord g;
    g.number = number;
    g.whitePlayer = whitePlayer;
    resetBoard(g.board, fen);
    g.board.chess960 = playsChess960(s);
    for (Player& pl : m.players) {
        pl.owesBestMove = pl.pondering = false;
        pl.clockUs = s.baseMs * 1000;
    }
    if (prepareForGame(m, g, whitePlayer) && prepareForGame(m, g, whitePlayer ^ 1) &&
        !concludeByRules(g)) {
        while (playOneMove(m, g)) {
        }
    }
    // A search still running (the loser's ponder search, say) is stopped and its answer
    // dropped, so that the next game starts clean.
    for (int i = 0; i < 2; ++i) {
        Player& pl = m.players[i];
        if (!pl.owesBestMove || pl.needsRestart) continue;
        ReadResult r = cancelSearch(pl, afterMs(now(), s.timeoutMs));
        if (r != ReadResult::Line) {
            std::string what = r == ReadResult::Closed
                                   ? "crashed after \"stop\" (" + stopProcess(pl.proc, 200) + ")"
                                   : "did not answer \"stop\" within " + seconds(s.timeoutMs);
            addFault(g, i, Fault::Crash, "engine " + std::to_string(i + 1) + " " + what);
            stopProcess(pl.proc, 0);
            pl.needsRestart = true;
        }
    }
    return g;
}

}  // namespace selfplay
