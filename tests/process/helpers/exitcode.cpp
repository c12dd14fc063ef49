// exitcode CODE [LINE]: prints LINE and a line end when given, then exits with CODE.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    if (argc > 2)
        std::printf("%s\n", argv[2]);
    std::fflush(stdout);
    return std::atoi(argv[1]);
}
