// Test helpers around the settings store: play a program, and read or write its values
// directly, without a settings variable (which would store its own value when freed).
#pragma once

#include "RegistryValues.h"
#include "RegistryVariables.h"
#include "TestDirs.h"
#include "TestFiles.h"
#include "registry.h"
#include "winbase.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace testsettings {

inline const QString kProgram = QStringLiteral("Tidelog");

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
    ASSERT_EQ(testregistry::Set(name, REG_DWORD, testregistry::Dword(value)), ERROR_SUCCESS);
}

// The stored REG_DWORD, or nothing when there is no such value.
using testregistry::StoredDword;

inline std::optional<std::int32_t> StoredInt(const QString& name) {
    const std::optional<std::uint32_t> value = StoredDword(name);
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

// The names of the key's values in the order its file lists them; a fresh key lists them in
// the order they were first written.
inline QStringList ValueNamesInFileOrder() {
    QStringList names;
    const QByteArray text = testfiles::Contents(testregistry::TidelogKeyFile());
    for (const QString& line : QString::fromUtf8(text).split(u'\n')) {
        if (line.startsWith(u'"'))
            names.append(line.mid(1, line.indexOf(u'"', 1) - 1));
        else if (line.startsWith(QStringLiteral("@=")))
            names.append(QString());
    }
    return names;
}

} // namespace testsettings
