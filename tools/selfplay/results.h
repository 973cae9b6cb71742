// The results file of a resumable match: a first line naming the settings the games are
// played with, then one line per finished game, appended as the game ends, from which a
// stopped match is rebuilt and continued.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace selfplay {

struct GameOutcome {
    int number = 0;  // from 1: games 2k+1 and 2k+2 are pair k, both on opening k
    std::string result;
    int firstHalfPoints = 0;  // the first engine's points, doubled: 0, 1 or 2
    int illegal = 0, crashes = 0, timeLosses = 0;
    int plies = 0;
    std::string reason;
};

inline int pairOf(int gameNumber) {
    return (gameNumber - 1) / 2;
}

constexpr const char* ResultsHeader = "# tolvo-selfplay results: ";
constexpr const char* FirstPointsTexts[3] = {"0", "1/2", "1"};

// One line, the reason last since it is free text.
inline std::string outcomeLine(const GameOutcome& g) {
    std::string reason;
    for (char c : g.reason) reason += c == '\n' || c == '\r' ? ' ' : c;
    return "game=" + std::to_string(g.number) + " result=" + g.result +
           " first=" + FirstPointsTexts[g.firstHalfPoints] +
           " illegal=" + std::to_string(g.illegal) + " crashes=" + std::to_string(g.crashes) +
           " timelosses=" + std::to_string(g.timeLosses) + " plies=" + std::to_string(g.plies) +
           " reason=" + reason;
}

inline bool parseOutcomeLine(const std::string& line, GameOutcome& g) {
    size_t reasonAt = line.find(" reason=");
    if (reasonAt == std::string::npos) return false;
    g.reason = line.substr(reasonAt + 8);
    std::istringstream in(line.substr(0, reasonAt));
    const char* const keys[] = {"game",    "result",     "first", "illegal",
                                "crashes", "timelosses", "plies"};
    std::string word;
    for (const char* key : keys) {
        if (!(in >> word)) return false;
        size_t eq = word.find('=');
        if (eq == std::string::npos || word.compare(0, eq, key) != 0) return false;
        std::string value = word.substr(eq + 1);
        if (value.empty()) return false;
        if (word.compare(0, eq, "result") == 0) {
            if (value != "1-0" && value != "0-1" && value != "1/2-1/2") return false;
            g.result = value;
            continue;
        }
        if (word.compare(0, eq, "first") == 0) {
            g.firstHalfPoints = -1;
            for (int half = 0; half < 3; ++half)
                if (value == FirstPointsTexts[half]) g.firstHalfPoints = half;
            if (g.firstHalfPoints < 0) return false;
            continue;
        }
        char* end = nullptr;
        long number = std::strtol(value.c_str(), &end, 10);
        if (*end != '\0' || number < 0 || number > 1000000000) return false;
        int& field = word.compare(0, eq, "game") == 0      ? g.number
                     : word.compare(0, eq, "illegal") == 0 ? g.illegal
                     : word.compare(0, eq, "crashes") == 0 ? g.crashes
                     : word.compare(0, eq, "plies") == 0   ? g.plies
                                                           : g.timeLosses;
        field = int(number);
    }
    if (g.number < 1 || in >> word) return false;
    // Engine 1 has White in odd-numbered games: the result and its points must agree.
    bool firstIsWhite = g.number % 2 == 1;
    int half = g.result == "1/2-1/2" ? 1 : (g.result == "1-0") == firstIsWhite ? 2 : 0;
    return half == g.firstHalfPoints;
}

// Reads the games on file, in the order they ended. A file that does not exist or is empty
// is started with the header. A last line without its line feed was cut off when a run was
// killed while writing it: it is dropped from the file, and its game played again. False,
// with a message, when the file holds another match or a line that is not a game's.
inline bool loadResults(const std::string& path, const std::string& settings,
                        std::vector<GameOutcome>& games, std::string& error) {
    const std::string header = ResultsHeader + settings;
    games.clear();
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream s;
            s << in.rdbuf();
            text = s.str();
        }
    }
    size_t complete = text.rfind('\n');
    complete = complete == std::string::npos ? 0 : complete + 1;
    if (complete < text.size()) {
        std::error_code ec;
        std::filesystem::resize_file(path, complete, ec);
        if (ec) {
            error = "cannot repair " + path + ": " + ec.message();
            return false;
        }
        text.resize(complete);
    }
    if (text.empty()) {
        std::FILE* out = std::fopen(path.c_str(), "w");
        if (!out || std::fprintf(out, "%s\n", header.c_str()) < 0 || std::fclose(out) != 0) {
            error = "cannot write " + path;
            return false;
        }
        return true;
    }
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (line != header) {
        error = path + " holds a match with other settings:\n  " + line + "\nnot\n  " + header;
        return false;
    }
    std::set<int> seen;
    for (int number = 2; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        GameOutcome g;
        if (!parseOutcomeLine(line, g) || !seen.insert(g.number).second) {
            error = path + ":" + std::to_string(number) + ": not a new game's line: " + line;
            return false;
        }
        games.push_back(g);
    }
    return true;
}

}  // namespace selfplay
