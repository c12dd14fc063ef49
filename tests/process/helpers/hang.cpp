// hang [LINE [FOLDER]]: prints LINE and a line end when given, makes FOLDER when given (a sign
// that it has started which holds no descriptor, for a child whose output nobody reads), then
// waits for ever (until a signal).
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::printf("%s\n", argv[1]);
        std::fflush(stdout);
    }
    if (argc > 2)
        mkdir(argv[2], 0755);
    for (;;)
        pause();
}
