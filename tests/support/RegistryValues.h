// Values of the settings store read and written directly, without a settings variable (which
// would store its own value when freed). No test framework inside: the settings store's helper
// program uses these too.
#pragma once

#include "TestDirs.h"
#include "registry.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace testregistry {

// The key every settings test plays: the program Tidelog's.
inline const QString kTidelogKey = QStringLiteral("Software\\Marrowby\\Tidelog");
// The key the settings store's multi-process tests save to.
inline const QString kStressKey = QStringLiteral("Software\\Marrowby\\Stress");

// The file of kTidelogKey below a root's folder.
QString TidelogKeyFile(const QString& rootFolder = testdirs::ConfigHome());

// The bytes of a REG_DWORD: four, least significant first.
QByteArray Dword(std::uint32_t value);

struct Stored {
    LONG Result = ERROR_SUCCESS;
    DWORD Type = 0;
    QByteArray Data;
};

// The value as the store gives it: the query's result code, its type and all of its data.
Stored Query(const QString& name, HKEY root = HKEY_CURRENT_USER, const QString& path = kTidelogKey);
// The stored REG_DWORD; nothing when there is no such value or it has another type or size.
std::optional<std::uint32_t> StoredDword(const QString& name, HKEY root = HKEY_CURRENT_USER,
                                         const QString& path = kTidelogKey);
// Creates the key when it is missing and sets the value; the first failing call's result code.
LONG Set(const QString& name, DWORD type, const QByteArray& data, HKEY root = HKEY_CURRENT_USER,
         const QString& path = kTidelogKey);

// The stress tests' value number i: i in its first four bytes, then bytes made from i, so a
// value mixed from two saves is told from either.
QByteArray StressBlob(DWORD i, int size);

} // namespace testregistry
