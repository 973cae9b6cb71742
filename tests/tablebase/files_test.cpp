// The folder scan and the file checks: which names are tables, which files pass, which folders
// are handed to the prober, and that the prober itself never writes to standard output.
#include "tablebase/files.h"

#include <gtest/gtest.h>

#include <string>

#include "support/table_folder.h"
#include "tablebase/tablebase.h"
#include "tbprobe.h"

namespace {

TEST(TableFiles, OnlyTheNamesTheProberOpensAreTables) {
    const struct {
        const char* name;
        int pieces;
    } names[] = {
        {"KQvK", 3},   {"KPvK", 3},    {"KQvKR", 4},     {"KRvKR", 4},   {"KBNvK", 4},
        {"KQRvKP", 5}, {"KRRvKNN", 6}, {"KQQQQQvK", 7},  {"KBvKQ", 0},   {"KNBvK", 0},
        {"KvKQ", 0},   {"KvK", 0},     {"KQRvKQR", 6},   {"KRNvKRB", 0}, {"KQQQQQQvK", 0},
        {"KQvKQv", 0}, {"kqvk", 0},    {"KQvK.rtbw", 0}, {"", 0},        {"KQxvK", 0},
        {"QKvK", 0},   {"KRvKQ", 0},
    };
    for (const auto& n : names) EXPECT_EQ(tablePieceCount(n.name), n.pieces) << n.name;
}

TEST(TableFiles, AFileOfAWrongLengthOrHeaderIsNamedWithWhy) {
    ScratchFolder folder;
    ASSERT_FALSE(folder.path.empty());
    folder.copy("KQvK.rtbw");
    folder.copy("KQvK.rtbz");
    folder.truncated("KRvK.rtbw", 150);
    folder.truncated("KRvK.rtbz", 16);  // the length the prober's own test lets pass
    folder.damagedHeader("KBvK.rtbw");
    std::string detail;
    EXPECT_EQ(tableFileProblem(folder.path + "/KQvK.rtbw", false, detail), nullptr);
    EXPECT_EQ(tableFileProblem(folder.path + "/KQvK.rtbz", true, detail), nullptr);
    EXPECT_STREQ(tableFileProblem(folder.path + "/KRvK.rtbw", false, detail), "truncated");
    EXPECT_EQ(detail, "150 bytes");
    EXPECT_STREQ(tableFileProblem(folder.path + "/KRvK.rtbz", true, detail), "truncated");
    EXPECT_STREQ(tableFileProblem(folder.path + "/KBvK.rtbw", false, detail), "damaged header");
    // Each kind has its own magic: a value file read as a distance file is not one.
    EXPECT_STREQ(tableFileProblem(folder.path + "/KQvK.rtbw", true, detail), "damaged header");
    EXPECT_STREQ(tableFileProblem(folder.path + "/none.rtbw", false, detail), "no such file");
    EXPECT_STREQ(tableFileProblem(folder.path, false, detail), "not a regular file");
}

TEST(TableFiles, AFolderWithABadTableIsLeftOutWholeAndTheOthersCountOnce) {
    ScratchFolder good, bad, partial;
    ASSERT_FALSE(good.path.empty() || bad.path.empty() || partial.path.empty());
    good.copyAll();
    bad.copy("KQvK.rtbw");
    bad.copy("KQRvK.rtbw");  // sound, but beside a bad file
    bad.truncated("KRvKP.rtbz", 1000);
    // A distance file without its value file, and files the prober never opens.
    partial.copy("KQvKQ.rtbz");
    partial.copy("KQvK.rtbw");
    partial.write("KvKQ.rtbw", {1, 2, 3});
    partial.write("notes.txt", {1});
    partial.write("KQvK.rtbw.part", {1});

    TableScan scan = scanTableFolders(bad.path + ":" + partial.path + "::/no/such/folder");
    ASSERT_EQ(scan.folders.size(), 1u);
    EXPECT_EQ(scan.folders[0], partial.path);
    EXPECT_EQ(scan.tables, 1);
    EXPECT_EQ(scan.dtzTables, 0);
    EXPECT_EQ(scan.largest, 3);
    ASSERT_EQ(scan.problems.size(), 2u);
    EXPECT_EQ(scan.problems[0], bad.path + ": KRvKP.rtbz truncated (1000 bytes)");
    EXPECT_EQ(scan.problems[1], "/no/such/folder: no such folder");

    // The same tables in two folders count once; the distance file of another folder counts.
    scan = scanTableFolders(good.path + ":" + partial.path);
    EXPECT_EQ(scan.folders.size(), 2u);
    EXPECT_EQ(scan.tables, 35);
    EXPECT_EQ(scan.dtzTables, 35);
    EXPECT_EQ(scan.largest, 4);
    EXPECT_TRUE(scan.problems.empty());

    // Many bad files: the first few are named, then how many more.
    for (const char* name : {"KRvK.rtbw", "KBvK.rtbw", "KNvK.rtbw", "KPvK.rtbw", "KQvKR.rtbw"})
        bad.damagedHeader(name);
    scan = scanTableFolders(bad.path);
    ASSERT_EQ(scan.problems.size(), 1u);
    EXPECT_NE(scan.problems[0].find(" and 3 more"), std::string::npos) << scan.problems[0];
    EXPECT_EQ(scan.tables, 0);
    EXPECT_TRUE(scan.folders.empty());
}

// The prober's one print to standard output (a file of a wrong length) goes to standard error,
// even when it is handed such a file directly, past our checks.
TEST(TableFiles, TheProberWritesNothingToStandardOutput) {
    ScratchFolder folder;
    ASSERT_FALSE(folder.path.empty());
    folder.copy("KQvK.rtbw");
    folder.truncated("KRvK.rtbw", 150);
    folder.truncated("KQvK.rtbz", 150);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    tb_init(folder.path.c_str());
    const unsigned largest = TB_LARGEST;
    std::fflush(stdout);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("Incomplete tablebase file KRvK"), std::string::npos) << err;
    EXPECT_EQ(largest, 3u);  // KQvK is loaded, KRvK is not
    loadTablebases("");
    EXPECT_EQ(tablebaseLargest(), 0);
}

}  // namespace
