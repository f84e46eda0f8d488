// A 32-bit Windows program for the runner's own tests: it prints known bytes, exits
// with a chosen status, writes a file or hangs, so that a test can check that each
// comes back through a route unchanged, or faults the way a broken plug-in would.
//   runner_probe print | exit STATUS | write PATH TEXT STATUS | hang | fault

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace {

// "計算中..." and "表" in code page 932; the second byte of 表 is a backslash.
constexpr char STDOUT_BYTES[] = "runner probe\r\n\x8c\x76\x8e\x5a\x92\x86...\n\x95\x5c\tend";
constexpr char STDERR_BYTES[] = "to standard error\n";

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "print") == 0) {
        std::fwrite(STDOUT_BYTES, 1, sizeof STDOUT_BYTES - 1, stdout);
        std::fwrite(STDERR_BYTES, 1, sizeof STDERR_BYTES - 1, stderr);
        return 0;
    }
    if (std::strcmp(mode, "exit") == 0 && argc == 3) return std::atoi(argv[2]);
    if (std::strcmp(mode, "write") == 0 && argc == 5) {
        std::FILE* file = std::fopen(argv[2], "wb");
        if (file == nullptr) return 100;
        std::fputs(argv[3], file);
        std::fclose(file);
        return std::atoi(argv[4]);
    }
    if (std::strcmp(mode, "hang") == 0) {
        for (;;) Sleep(1000);
    }
    if (std::strcmp(mode, "fault") == 0) {
        std::fputs("before the fault\n", stdout);
        std::fflush(stdout);
        // An address the compiler cannot see is null, so that it stays a read, not a trap.
        const auto nowhere = reinterpret_cast<volatile int*>(std::strtoul("16", nullptr, 10));
        return *nowhere;
    }
    std::fputs("usage: runner_probe print | exit STATUS | write PATH TEXT STATUS | hang | fault\n", stderr);
    return 2;
}
