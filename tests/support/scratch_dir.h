// A folder of a test's own under /tmp, with a unique name, removed with its contents when the
// object goes: two runs of the suites at once never meet in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

struct ScratchDir {
    std::string path;
    explicit ScratchDir(const std::string& prefix = "tolvo-test") {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
        EXPECT_FALSE(path.empty()) << "no scratch folder for " << prefix;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};
