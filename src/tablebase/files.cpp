#include "tablebase/files.h"

#include <cstdint>
#include <cstdio>
#include <set>

#include "platform/platform.h"

namespace {

constexpr char PieceLetters[] = "QRBNP";

// The pieces of one side after its king, as indices into PieceLetters; false for any other text.
bool readSide(const std::string& text, std::vector<int>& pieces) {
    if (text.empty() || text[0] != 'K') return false;
    for (size_t i = 1; i < text.size(); ++i) {
        int index = 0;
        while (PieceLetters[index] && PieceLetters[index] != text[i]) ++index;
        if (!PieceLetters[index]) return false;
        if (!pieces.empty() && index < pieces.back()) return false;
        pieces.push_back(index);
    }
    return true;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The names a report lists for one folder: the first few, then how many more.
void listNames(std::string& text, const std::vector<std::string>& names) {
    constexpr size_t Shown = 3;
    for (size_t i = 0; i < names.size() && i < Shown; ++i) text += (i ? ", " : " ") + names[i];
    if (names.size() > Shown) text += " and " + std::to_string(names.size() - Shown) + " more";
}

}  // namespace

std::vector<std::string> splitPathList(const std::string& pathList) {
    std::vector<std::string> folders;
    size_t start = 0;
    for (;;) {
        const size_t end = pathList.find(PathListSeparator, start);
        const std::string folder = pathList.substr(start, end - start);
        if (!folder.empty()) folders.push_back(folder);
        if (end == std::string::npos) return folders;
        start = end + 1;
    }
}

int tablePieceCount(const std::string& name) {
    const size_t v = name.find('v');
    if (v == std::string::npos) return 0;
    std::vector<int> strong, weak;
    if (!readSide(name.substr(0, v), strong) || !readSide(name.substr(v + 1), weak)) return 0;
    const int pieces = int(strong.size() + weak.size()) + 2;
    if (pieces < 3 || pieces > 7) return 0;
    if (strong.size() < weak.size() || (strong.size() == weak.size() && strong > weak)) return 0;
    return pieces;
}

const char* tableFileProblem(const std::string& file, bool dtz, std::string& detail) {
    // Little-endian words 0x5d23e871 and 0xa50c66d7, as the tables' writer lays them down.
    static const unsigned char WdlMagic[4] = {0x71, 0xE8, 0x23, 0x5D};
    static const unsigned char DtzMagic[4] = {0xD7, 0x66, 0x0C, 0xA5};
    unsigned char head[4];
    uint64_t length = 0;
    size_t got = 0;
    detail.clear();
    if (const char* why = readRegularFile(file.c_str(), head, sizeof head, length, got)) return why;
    if (length < 80 || length % 64 != 16) {
        detail = std::to_string(length) + " bytes";
        return "truncated";
    }
    const unsigned char* magic = dtz ? DtzMagic : WdlMagic;
    for (int i = 0; i < 4; ++i)
        if (got < 4 || head[i] != magic[i]) return "damaged header";
    return nullptr;
}

TableScan scanTableFolders(const std::string& pathList) {
    TableScan scan;
    std::set<std::string> wdlNames, dtzNames;
    for (const std::string& folder : splitPathList(pathList)) {
        std::vector<std::string> entries;
        if (const char* why = listFolder(folder.c_str(), entries)) {
            scan.problems.push_back(folder + ": " + why);
            continue;
        }
#ifdef _WIN32
        // The prober opens its files through the system's narrow code page, which cannot
        // name every folder that UTF-8 can.
        bool plain = true;
        for (const char c : folder) plain = plain && static_cast<unsigned char>(c) < 0x80;
        if (!plain) {
            scan.problems.push_back(folder + ": only folders named in ASCII can be used");
            continue;
        }
#endif
        std::vector<std::string> bad;
        std::set<std::string> wdlHere, dtzHere;
        for (const std::string& entry : entries) {
            const bool wdl = endsWith(entry, ".rtbw"), dtz = endsWith(entry, ".rtbz");
            if (!wdl && !dtz) continue;
            const std::string name = entry.substr(0, entry.size() - 5);
            if (!tablePieceCount(name)) continue;  // a name the prober never opens
            std::string detail;
            if (const char* why = tableFileProblem(folder + "/" + entry, dtz, detail)) {
                bad.push_back(entry + " " + why + (detail.empty() ? "" : " (" + detail + ")"));
                continue;
            }
            (wdl ? wdlHere : dtzHere).insert(name);
        }
        if (!bad.empty()) {
            std::string text = folder + ":";
            listNames(text, bad);
            scan.problems.push_back(text);
            continue;
        }
        scan.folders.push_back(folder);
        wdlNames.insert(wdlHere.begin(), wdlHere.end());
        dtzNames.insert(dtzHere.begin(), dtzHere.end());
    }
    for (const std::string& name : wdlNames) {
        ++scan.tables;
        scan.dtzTables += int(dtzNames.count(name));
        const int pieces = tablePieceCount(name);
        if (pieces > scan.largest) scan.largest = pieces;
    }
    return scan;
}
