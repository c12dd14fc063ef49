#include "RegistryVariables.h"

#include "Forms.h"
#include "Utils.h"
#include "registry.h"
#include "winbase.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>

QString SettingsCompany = QStringLiteral("Marrowby");
std::uint32_t SettingsRootKey = static_cast<std::uint32_t>(HKEY_CURRENT_USER);

namespace {

// The file name of the running executable: after the last "/", "\" or ":", so Windows-style
// paths name the same file as POSIX ones.
QString ExecutableFileName() {
    const QString path = ExecutablePath();
    qsizetype cut = -1;
    for (const QChar separator : {u'/', u'\\', u':'})
        cut = std::max(cut, path.lastIndexOf(separator));
    return path.mid(cut + 1);
}

QString UpperCaseAscii(QString text) {
    for (QChar& c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return text;
}

// The file name without its extension (from the last "."), letter case kept.
QString BaseName(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

// Key handle given back when it goes out of scope, whatever path the load or save takes.
class TKeyHandle {
public:
    TKeyHandle() = default;
    ~TKeyHandle() {
        if (FKey)
            RegCloseKey(FKey);
    }
    TKeyHandle(const TKeyHandle&) = delete;
    TKeyHandle& operator=(const TKeyHandle&) = delete;
    HKEY* Out() { return &FKey; }
    HKEY Get() const { return FKey; }

private:
    HKEY FKey = 0;
};

// The system calls take the path without its leading "\".
QString SystemPath(const QString& keyPath) {
    return keyPath.startsWith(u'\\') ? keyPath.mid(1) : keyPath;
}

} // namespace

namespace RegistryVariables {

void StartUp() {
    SettingsCompany = QStringLiteral("Marrowby");
    SettingsRootKey = static_cast<std::uint32_t>(HKEY_CURRENT_USER);
    if (UpperCaseAscii(ExecutableFileName()) == QStringLiteral("MURLOWEN.EXE")) {
        SettingsCompany = QStringLiteral("Brindlecorp");
        SettingsRootKey = static_cast<std::uint32_t>(HKEY_LOCAL_MACHINE);
    }
}

void ShutDown() {
    SettingsCompany.clear();
}

} // namespace RegistryVariables

TRegistryVariable::TRegistryVariable(const QString& valueName)
    : ValueName(valueName), KeyPath(QStringLiteral("\\Software\\") + SettingsCompany + u'\\' +
                                    BaseName(ExecutableFileName())),
      RootKey(SettingsRootKey) {}

TRegistryVariable::~TRegistryVariable() = default;

bool TRegistryVariable::LoadData(std::uint32_t type, unsigned char* buffer,
                                 std::uint32_t size) const noexcept {
    try {
        const QString path = SystemPath(KeyPath);
        {
            // Does the key exist at all? Tested with read rights only.
            TKeyHandle test;
            if (RegOpenKeyExW(RootKey, path, 0,
                              STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                              test.Out()) != ERROR_SUCCESS)
                return false;
        }
        // A key that may be read but not changed reads as having no values.
        TKeyHandle key;
        if (RegOpenKeyExW(RootKey, path, 0, KEY_ALL_ACCESS, key.Out()) != ERROR_SUCCESS)
            return false;
        DWORD storedType = 0;
        DWORD storedSize = 0;
        if (RegQueryValueExW(key.Get(), ValueName, nullptr, &storedType, nullptr, &storedSize) !=
                ERROR_SUCCESS ||
            storedType != type || storedSize != size)
            return false;
        // Read again into a buffer of exactly that size: another program may have replaced
        // the value in between, so type and size are checked once more.
        BYTE data[8] = {};
        DWORD got = std::min<DWORD>(size, sizeof data);
        if (RegQueryValueExW(key.Get(), ValueName, nullptr, &storedType, data, &got) !=
                ERROR_SUCCESS ||
            storedType != type || got != size)
            return false;
        std::memcpy(buffer, data, size);
        return true;
    } catch (...) {
        return false; // a failed load keeps the default
    }
}

void TRegistryVariable::SaveData(std::uint32_t type, const unsigned char* data,
                                 std::uint32_t size) const noexcept {
    try {
        TKeyHandle key;
        if (RegCreateKeyExW(RootKey, SystemPath(KeyPath), 0, QString(), REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExW(key.Get(), ValueName, 0, type, data, size);
    } catch (...) {
        // A failed save is silent.
    }
}

TRegistryBoolean::TRegistryBoolean(const QString& valueName, bool defaultValue)
    : TRegistryVariable(valueName), Value(defaultValue) {
    unsigned char data[4];
    if (LoadData(REG_DWORD, data, sizeof data))
        Value = qFromLittleEndian<std::uint32_t>(data) != 0;
}

TRegistryBoolean::~TRegistryBoolean() {
    Save();
}

void TRegistryBoolean::Save() {
    unsigned char data[4];
    qToLittleEndian<std::uint32_t>(Value ? 1 : 0, data);
    SaveData(REG_DWORD, data, sizeof data);
}

TRegistryInteger::TRegistryInteger(const QString& valueName, std::int32_t defaultValue)
    : TRegistryVariable(valueName), Value(defaultValue) {
    unsigned char data[4];
    if (LoadData(REG_DWORD, data, sizeof data))
        Value = qFromLittleEndian<std::int32_t>(data);
}

TRegistryInteger::~TRegistryInteger() {
    Save();
}

void TRegistryInteger::Save() {
    unsigned char data[4];
    qToLittleEndian<std::int32_t>(Value, data);
    SaveData(REG_DWORD, data, sizeof data);
}

TRegistryDouble::TRegistryDouble(const QString& valueName, double defaultValue)
    : TRegistryVariable(valueName), Value(defaultValue) {
    unsigned char data[8];
    if (LoadData(REG_BINARY, data, sizeof data)) {
        const double stored = std::bit_cast<double>(qFromLittleEndian<std::uint64_t>(data));
        Value = DoubleIsNan(stored) ? defaultValue : stored;
    }
}

TRegistryDouble::~TRegistryDouble() {
    Save();
}

void TRegistryDouble::Save() {
    unsigned char data[8];
    qToLittleEndian<std::uint64_t>(std::bit_cast<std::uint64_t>(Value), data);
    SaveData(REG_BINARY, data, sizeof data);
}

TRegistryFormInfo::TRegistryFormInfo(TForm* form) : FForm(form) {
    FState = std::make_unique<TRegistryInteger>(QStringLiteral("FormState"),
                                                static_cast<std::int32_t>(form->WindowState()));
    FLeft = std::make_unique<TRegistryInteger>(QStringLiteral("FormLeft"), form->Left());
    FTop = std::make_unique<TRegistryInteger>(QStringLiteral("FormTop"), form->Top());
    FWidth = std::make_unique<TRegistryInteger>(QStringLiteral("FormWidth"), form->Width());
    FHeight = std::make_unique<TRegistryInteger>(QStringLiteral("FormHeight"), form->Height());
    FClientWidth =
        std::make_unique<TRegistryInteger>(QStringLiteral("FormClientWidth"), form->ClientWidth());
    FClientHeight = std::make_unique<TRegistryInteger>(QStringLiteral("FormClientHeight"),
                                                       form->ClientHeight());
}

TRegistryFormInfo::~TRegistryFormInfo() {
    FState->Value = static_cast<std::int32_t>(FForm->WindowState());
    FLeft->Value = FForm->Left();
    FTop->Value = FForm->Top();
    FWidth->Value = FForm->Width();
    FHeight->Value = FForm->Height();
    FClientWidth->Value = FForm->ClientWidth();
    FClientHeight->Value = FForm->ClientHeight();
    // Each stores itself as it is freed: this is the order of the writes.
    FState.reset();
    FLeft.reset();
    FTop.reset();
    FWidth.reset();
    FHeight.reset();
    FClientWidth.reset();
    FClientHeight.reset();
}

void TRegistryFormInfo::RestorePosition() {
    FForm->SetLeft(FLeft->Value);
    FForm->SetTop(FTop->Value);
}
