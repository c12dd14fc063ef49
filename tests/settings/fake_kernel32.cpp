// Stand-in library for the optional-function tests: the older clock function only.
#include <cstdint>

extern "C" {
__attribute__((visibility("default"))) void GetSystemTimeAsFileTime(std::uint64_t* fileTime) {
    *fileTime = 0;
}
__attribute__((visibility("default"))) std::uint64_t GetTickCount64() {
    return 0;
}
}
