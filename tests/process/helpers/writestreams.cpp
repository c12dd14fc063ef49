// writestreams OUT ERR: writes OUT to standard output, then ERR to standard error, exits 0.
#include <cstring>
#include <unistd.h>

static void WriteAll(int fd, const char* text) {
    for (size_t off = 0, n = std::strlen(text); off < n;) {
        const ssize_t w = write(fd, text + off, n - off);
        if (w < 0)
            return;
        off += static_cast<size_t>(w);
    }
}

int main(int argc, char** argv) {
    if (argc > 1)
        WriteAll(1, argv[1]);
    if (argc > 2)
        WriteAll(2, argv[2]);
    return 0;
}
