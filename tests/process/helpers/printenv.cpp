// Prints "cwd=" and the working directory, then every environment entry, one per line.
#include <cstdio>
#include <unistd.h>

extern char** environ;

int main() {
    char cwd[4096];
    std::printf("cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    for (char** e = environ; *e; ++e)
        std::printf("%s\n", *e);
    return 0;
}
