// Helper program for the settings store's multi-process tests. It saves through the real store
// under HKEY_CURRENT_USER\Software\Marrowby\Stress ($XDG_CONFIG_HOME comes from the test).
//
//   registry_helper interleave OWN OTHER COUNT
//       Waits for one byte on stdin, then COUNT times: saves DWORD OWN = i, reads OWN back
//       (must be i) and OTHER (must never go down: a lost update would bring back an older
//       value). Exit 0 when all held, 1 with a message on stderr otherwise.
//   registry_helper churn COUNT SIZE
//       COUNT times: saves REG_BINARY "Blob" of SIZE bytes made from i (StressBlob), then
//       prints "i\n" on stdout once the save has returned.
#include "RegistryValues.h"
#include "registry.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

using namespace testregistry;

bool SaveValue(const QString& name, DWORD type, const QByteArray& data) {
    return Set(name, type, data, HKEY_CURRENT_USER, kStressKey) == ERROR_SUCCESS;
}

// -1 when the value is missing.
long long ReadDword(const QString& name) {
    const std::optional<std::uint32_t> value = StoredDword(name, HKEY_CURRENT_USER, kStressKey);
    return value ? static_cast<long long>(*value) : -1;
}

int Interleave(const QString& own, const QString& other, int count) {
    char go = 0;
    if (read(STDIN_FILENO, &go, 1) != 1)
        return 2;
    long long lastOther = -1;
    for (int i = 1; i <= count; ++i) {
        if (!SaveValue(own, REG_DWORD, Dword(static_cast<DWORD>(i)))) {
            std::fprintf(stderr, "save %d failed\n", i);
            return 1;
        }
        if (const long long mine = ReadDword(own); mine != i) {
            std::fprintf(stderr, "own value is %lld after saving %d\n", mine, i);
            return 1;
        }
        const long long seen = ReadDword(other);
        if (seen < lastOther) {
            std::fprintf(stderr, "other value went back from %lld to %lld\n", lastOther, seen);
            return 1;
        }
        lastOther = seen;
    }
    return 0;
}

int Churn(int count, int size) {
    for (int i = 1; i <= count; ++i) {
        if (!SaveValue(QStringLiteral("Blob"), REG_BINARY, StressBlob(static_cast<DWORD>(i), size)))
            return 1;
        const QByteArray line = QByteArray::number(i) + '\n';
        if (write(STDOUT_FILENO, line.constData(), line.size()) != line.size())
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "interleave") == 0)
        return Interleave(QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]),
                          std::atoi(argv[4]));
    if (argc == 4 && std::strcmp(argv[1], "churn") == 0)
        return Churn(std::atoi(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr, "usage: registry_helper interleave OWN OTHER COUNT | churn COUNT SIZE\n");
    return 2;
}
