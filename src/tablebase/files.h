// Finding Syzygy table files: the folders of a path list, the names of the tables, and the
// length and header checks that keep a damaged or truncated file from the prober.
#pragma once

#include <string>
#include <vector>

// The folders of a list separated by PathListSeparator, empty entries left out, in order.
std::vector<std::string> splitPathList(const std::string& pathList);

// The number of pieces of a table name the prober looks for ("KQvKR" 4), or 0 for any other
// name: each side's pieces in the order K Q R B N P, the side with more pieces (or, with as
// many, the stronger) first, at most seven in all.
int tablePieceCount(const std::string& name);

// Why the file cannot be a table of its kind (win/draw/loss .rtbw or distance-to-zero .rtbz),
// or null: a table is 64-byte blocks plus a 16-byte trailer, at least one block, and starts
// with its kind's four magic bytes. A file cut short at another length, or whose first bytes
// were damaged, fails; a flip inside its compressed body cannot be seen without reading all.
const char* tableFileProblem(const std::string& file, bool dtz, std::string& detail);

// What a path list holds. A folder that holds a table file failing its checks is left out
// whole, with the file named in the problems: the prober opens its files by name along the
// folders it is given, so the only way to keep one file from it is to keep its folder away.
struct TableScan {
    std::vector<std::string> folders;   // folders to hand the prober, in the list's order
    int tables = 0;                     // distinct tables with a .rtbw in them
    int dtzTables = 0;                  // distinct tables with a .rtbz beside a .rtbw
    int largest = 0;                    // pieces of the largest table, 0 when none
    std::vector<std::string> problems;  // one text per folder not used: "FOLDER: why"
};
TableScan scanTableFolders(const std::string& pathList);
