// hang [LINE]: prints LINE and a line end when given, then waits for ever (until a signal).
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::printf("%s\n", argv[1]);
        std::fflush(stdout);
    }
    for (;;)
        pause();
}
