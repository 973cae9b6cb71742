#include "platform/line_reader.h"

#include <cstring>

#include "platform/platform.h"

namespace {

struct InputBuffer {
    char bytes[16384];
    size_t start;
    size_t end;
    bool ended;  // end of input or a read error: sticky, so a terminal's ^D is final too
};
InputBuffer Input;

// Refills the empty buffer; false once input has ended.
bool refill() {
    if (Input.ended) return false;
    const size_t n = readInputBytes(Input.bytes, sizeof Input.bytes);
    if (n == 0) {
        Input.ended = true;
        return false;
    }
    Input.start = 0;
    Input.end = n;
    return true;
}

}  // namespace

bool inputBufferedOrEnded() {
    return Input.start < Input.end || Input.ended;
}

bool readLine(char* buf, size_t size) {
    if (size == 0) return false;
    size_t stored = 0;
    size_t total = 0;
    bool sawAny = false;
    bool sawNewline = false;
    while (!sawNewline) {
        if (Input.start == Input.end && !refill()) {
            if (!sawAny) return false;
            break;  // a last line without a line feed still counts
        }
        sawAny = true;
        const char* from = Input.bytes + Input.start;
        size_t available = Input.end - Input.start;
        const void* newline = std::memchr(from, '\n', available);
        size_t take = newline ? size_t(static_cast<const char*>(newline) - from) : available;
        size_t room = size - 1 - stored;
        size_t copy = take < room ? take : room;
        std::memcpy(buf + stored, from, copy);
        stored += copy;
        total += take;
        Input.start += take;
        if (newline) {
            ++Input.start;
            sawNewline = true;
        }
    }
    // Text-mode reading, as consoles and most Windows GUIs end their lines: a carriage return
    // right before the line feed is not part of the line. Only when it was kept: a cut line
    // keeps its last stored character.
    if (sawNewline && stored == total && stored > 0 && buf[stored - 1] == '\r') --stored;
    buf[stored] = '\0';
    return true;
}
