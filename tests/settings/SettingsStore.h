// Test helpers around the settings store: play a program, and read or write its values
// directly, without a settings variable (which would store its own value when freed).
#pragma once

#include "RegistryVariables.h"
#include "TestDirs.h"
#include "registry.h"
#include "winbase.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace testsettings {

inline const QString kProgram = QStringLiteral("Tidelog");
inline const QString kKey = QStringLiteral("Software\\Marrowby\\Tidelog");

// Every test plays the program Tidelog, so its settings live under Software\Marrowby\Tidelog
// of the test's own settings home.
class ProgramSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetExecutablePathOverride(QStringLiteral("/opt/tidelog/") + kProgram);
        RegistryVariables::StartUp();
    }
    void TearDown() override {
        SetExecutablePathOverride(QString());
        RegistryVariables::StartUp();
    }
};

inline void StoreDword(const QString& name, std::uint32_t value) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, QString(), REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const BYTE data[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_DWORD, data, 4), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The stored REG_DWORD, or nothing when there is no such value.
inline std::optional<std::uint32_t> StoredDword(const QString& name) {
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
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

inline std::optional<std::int32_t> StoredInt(const QString& name) {
    const std::optional<std::uint32_t> value = StoredDword(name);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

// The names of the key's values in the order its file lists them; a fresh key lists them in
// the order they were first written.
inline QStringList ValueNamesInFileOrder() {
    QFile file(testdirs::ConfigHome() + QStringLiteral("/Software/Marrowby/") + kProgram +
               QStringLiteral(".reg"));
    QStringList names;
    if (!file.open(QIODevice::ReadOnly))
        return names;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        if (line.startsWith(u'"'))
            names.append(line.mid(1, line.indexOf(u'"', 1) - 1));
        else if (line.startsWith(QStringLiteral("@=")))
            names.append(QString());
    }
    return names;
}

} // namespace testsettings
