// writebytes N [err]: writes N bytes, byte i = i % 251, to standard output (or error), then
// exits at once with 0.
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const long total = std::strtol(argv[1], nullptr, 10);
    const int fd = argc > 2 && std::strcmp(argv[2], "err") == 0 ? 2 : 1;
    char chunk[4096];
    long done = 0;
    while (done < total) {
        long n = total - done < static_cast<long>(sizeof chunk) ? total - done : sizeof chunk;
        for (long i = 0; i < n; ++i)
            chunk[i] = static_cast<char>((done + i) % 251);
        for (long off = 0; off < n;) {
            const ssize_t w = write(fd, chunk + off, static_cast<size_t>(n - off));
            if (w < 0)
                return 3;
            off += w;
        }
        done += n;
    }
    return 0;
}
