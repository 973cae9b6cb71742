// Starts a Windows program the way a Windows GUI starts an engine: its standard input is an
// anonymous pipe made with CreatePipe, fed from this program's own standard input; its output
// goes straight to ours. Under a runtime layer on another system our own standard input may be
// a pipe of that system, on which the pipe calls of Windows do not work; the child always gets
// a real Windows pipe. Exits with the child's exit code.
//
// Usage: windows_pipe_host PROGRAM
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: windows_pipe_host PROGRAM\n");
        return 2;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr, feed = nullptr;
    if (!CreatePipe(&childInput, &feed, &inherit, 0)) return 2;
    // Only the child's end is inherited; our end must close when we close it.
    SetHandleInformation(feed, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &child)) {
        std::fprintf(stderr, "windows_pipe_host: cannot start %s (error %lu)\n", argv[1],
                     GetLastError());
        return 2;
    }
    CloseHandle(childInput);

    // Everything we read goes to the child as it arrives; the end of our input closes its pipe.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char bytes[4096];
    DWORD got = 0;
    while (ReadFile(input, bytes, sizeof bytes, &got, nullptr) && got > 0) {
        DWORD written = 0;
        if (!WriteFile(feed, bytes, got, &written, nullptr)) break;  // the child has gone
    }
    CloseHandle(feed);

    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(child.hProcess, &code);
    return int(code);
}
