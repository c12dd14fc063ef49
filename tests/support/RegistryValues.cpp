#include "RegistryValues.h"

#include <algorithm>
#include <cstring>

namespace testregistry {

QString TidelogKeyFile(const QString& rootFolder) {
    return rootFolder + QStringLiteral("/Software/Marrowby/Tidelog.reg");
}

QByteArray Dword(std::uint32_t value) {
    QByteArray data;
    for (int i = 0; i < 4; ++i)
        data += static_cast<char>((value >> (8 * i)) & 0xFF);
    return data;
}

Stored Query(const QString& name, HKEY root, const QString& path) {
    Stored stored;
    HKEY key = 0;
    stored.Result = RegOpenKeyExW(root, path, 0, KEY_READ, &key);
    if (stored.Result != ERROR_SUCCESS)
        return stored;
    DWORD size = 0;
    stored.Result = RegQueryValueExW(key, name, nullptr, &stored.Type, nullptr, &size);
    if (stored.Result == ERROR_SUCCESS) {
        stored.Data = QByteArray(static_cast<qsizetype>(size), '\0');
        stored.Result = RegQueryValueExW(key, name, nullptr, &stored.Type,
                                         reinterpret_cast<BYTE*>(stored.Data.data()), &size);
    }
    RegCloseKey(key);
    return stored;
}

std::optional<std::uint32_t> StoredDword(const QString& name, HKEY root, const QString& path) {
    HKEY key = 0;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    BYTE data[4] = {};
    DWORD type = 0, size = sizeof data;
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != 4)
        return std::nullopt;
    return std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
           std::uint32_t(data[3]) << 24;
}

LONG Set(const QString& name, DWORD type, const QByteArray& data, HKEY root, const QString& path) {
    HKEY key = 0;
    LONG rc = RegCreateKeyExW(root, path, 0, QString(), REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.constData()),
                        static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return rc;
}

QByteArray StressBlob(DWORD i, int size) {
    QByteArray blob(size, '\0');
    std::memcpy(blob.data(), &i, std::min<int>(4, size));
    for (int k = 4; k < size; ++k)
        blob[k] = static_cast<char>((i * 31 + static_cast<DWORD>(k)) & 0xFF);
    return blob;
}

} // namespace testregistry
