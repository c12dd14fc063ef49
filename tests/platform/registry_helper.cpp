// Helper program for the settings store's multi-process tests. It saves through the real store
// under HKEY_CURRENT_USER\Software\Marrowby\Stress ($XDG_CONFIG_HOME comes from the test).
//
//   registry_helper interleave OWN OTHER COUNT
//       Waits for one byte on stdin, then COUNT times: saves DWORD OWN = i, reads OWN back
//       (must be i) and OTHER (must never go down: a lost update would bring back an older
//       value). Exit 0 when all held, 1 with a message on stderr otherwise.
//   registry_helper churn COUNT SIZE
//       COUNT times: saves REG_BINARY "Blob" of SIZE bytes made from i (see BlobFor), then
//       prints "i\n" on stdout once the save has returned.
#include "registry.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const QString kKey = QStringLiteral("Software\\Marrowby\\Stress");

bool SaveValue(const QString& name, DWORD type, const QByteArray& data) {
    HKEY key = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, QString(), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc =
        RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                       static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// -1 when the value is missing.
long long ReadDword(const QString& name) {
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD && size == 4 ? static_cast<long long>(value)
                                                                 : -1;
}

QByteArray Dword(DWORD value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
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

// Must match the test's check: the counter in the first 4 bytes, then bytes made from it.
QByteArray BlobFor(DWORD i, int size) {
    QByteArray blob(size, '\0');
    std::memcpy(blob.data(), &i, std::min<int>(4, size));
    for (int k = 4; k < size; ++k)
        blob[k] = static_cast<char>((i * 31 + static_cast<DWORD>(k)) & 0xFF);
    return blob;
}

int Churn(int count, int size) {
    for (int i = 1; i <= count; ++i) {
        if (!SaveValue(QStringLiteral("Blob"), REG_BINARY, BlobFor(static_cast<DWORD>(i), size)))
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
