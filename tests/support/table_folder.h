// Folders of Syzygy table files for the tests: copies of the test set, whole, cut short or
// with a damaged header, in a folder of a unique name under the build folder.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The 3- and 4-piece tables the repository carries.
inline const std::string TestTables = TOLVO_SYZYGY_DIR;

inline std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Removed with everything in it when the test ends.
class ScratchFolder {
   public:
    ScratchFolder() {
        std::string pattern = std::string(TOLVO_BUILD_DIR) + "/syzygy-test-XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchFolder() {
        if (path.empty()) return;
        if (DIR* d = opendir(path.c_str())) {
            while (const dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") std::remove((path + "/" + name).c_str());
            }
            closedir(d);
        }
        rmdir(path.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    void write(const std::string& name, const std::vector<unsigned char>& bytes) const {
        std::ofstream out(path + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // The test set's file as it is.
    void copy(const std::string& name) const { write(name, fileBytes(TestTables + "/" + name)); }
    // Every file of the test set whose name ends with the suffix ("" for all of them).
    void copyAll(const std::string& suffix = "") const {
        if (DIR* d = opendir(TestTables.c_str())) {
            while (const dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name.size() > 5 && name.compare(name.size() - 5, 5, ".rtbw") != 0 &&
                    name.compare(name.size() - 5, 5, ".rtbz") != 0)
                    continue;
                if (name.size() <= 5) continue;
                if (suffix.empty() ||
                    name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                    copy(name);
            }
            closedir(d);
        }
    }
    // The file cut to its first `length` bytes.
    void truncated(const std::string& name, size_t length) const {
        std::vector<unsigned char> bytes = fileBytes(TestTables + "/" + name);
        bytes.resize(length < bytes.size() ? length : bytes.size());
        write(name, bytes);
    }
    // The file with one bit of its first (magic) bytes flipped.
    void damagedHeader(const std::string& name) const {
        std::vector<unsigned char> bytes = fileBytes(TestTables + "/" + name);
        if (!bytes.empty()) bytes[1] ^= 0x10;
        write(name, bytes);
    }

    std::string path;
};
