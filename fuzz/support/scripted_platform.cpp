// Defines every routine of the platform layer, so the linker never takes the real one from
// the engine's library: the fuzz targets read no standard input and no wall clock.
#include "support/scripted_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

struct ScriptedInput {
    const uint8_t* data;
    size_t size;
    size_t next;
    bool ended;
};
ScriptedInput Input;

uint64_t Now;

int OutputFd = -1;
std::string Output;

const uint8_t* FileData;
size_t FileSize;

}  // namespace

bool asksForLargeTable(const char* line) {
    const char* k = std::strstr(line, "Hash value");
    if (!k) return false;
    // The first run of digits after the separator holds the number the option reader takes.
    const char* p = k + 10;
    if (*p) ++p;
    while (*p && (*p < '0' || *p > '9')) ++p;
    while (*p == '0') ++p;
    uint64_t value = 0;
    for (int digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits >= 2) return true;
        value = value * 10 + uint64_t(*p - '0');
    }
    return value > 8;
}

void feedInput(const uint8_t* data, size_t size) {
    Input = ScriptedInput{data, size, 0, false};
}

void endInput() {
    Input.next = Input.size;
    Input.ended = true;
}

const char* takeOutput() {
    std::fflush(stdout);
    if (OutputFd < 0) {
        // Standard output goes into memory, where the targets can check what the engine said.
        OutputFd = memfd_create("tolvo-fuzz-output", 0);
        if (OutputFd < 0 || dup2(OutputFd, STDOUT_FILENO) < 0) std::abort();
    }
    off_t length = lseek(OutputFd, 0, SEEK_END);
    Output.assign(size_t(length), '\0');
    if (length > 0 && pread(OutputFd, &Output[0], size_t(length), 0) != length) std::abort();
    if (ftruncate(OutputFd, 0) != 0 || lseek(OutputFd, 0, SEEK_SET) != 0) std::abort();
    return Output.c_str();
}

void setScriptedFile(const uint8_t* data, size_t size) {
    FileData = data;
    FileSize = data ? size : 0;
}

const char* readRegularFile(const char*, unsigned char* buf, size_t capacity, uint64_t& fileBytes,
                            size_t& got) {
    fileBytes = 0;
    got = 0;
    if (!FileData) return "no such file";
    fileBytes = FileSize;
    got = FileSize < capacity ? FileSize : capacity;
    if (got > 0) std::memcpy(buf, FileData, got);
    return nullptr;
}

// No folder exists for the fuzz targets: a "SyzygyPath" in their input finds no table, so the
// tablebase prober is never handed a path and no input reaches the real file system.
const char* listFolder(const char*, std::vector<std::string>&) {
    return "no such folder";
}

bool setupStreams() {
    return false;
}

bool readLine(char* buf, size_t size) {
    if (size == 0 || Input.ended || Input.next >= Input.size) {
        Input.ended = true;
        return false;
    }
    size_t stored = 0;
    while (Input.next < Input.size) {
        const char c = char(Input.data[Input.next++]);
        if (c == '\n') break;
        if (stored + 1 < size) buf[stored++] = c;
    }
    if (stored > 0 && buf[stored - 1] == '\r') --stored;
    buf[stored] = '\0';
    if (asksForLargeTable(buf)) buf[0] = '\0';
    return true;
}

bool inputWaiting() {
    return true;  // the whole script has arrived; at its end, the end of input is waiting
}

uint64_t tickCountMs() {
    return Now += 1;
}

void sleepMs(int ms) {
    if (ms > 0) Now += uint64_t(ms);
}
