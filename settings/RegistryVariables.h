// Settings variables: named values under the program's own key of the settings store, which
// load their stored value when made and store their value when freed.
//
// Key: root SettingsRootKey, path "\Software\" + SettingsCompany + "\" + the executable's file
// name without its extension (Tidelog.exe -> Software\Marrowby\Tidelog under
// HKEY_CURRENT_USER). Types: REG_DWORD for integers and booleans, REG_BINARY of exactly 8
// bytes (little-endian IEEE 754) for doubles and date-times.
//
// Every store failure is silent: a load keeps the default, a Save writes nothing; nothing
// throws out of construction, Save or destruction. Variables are used from the GUI thread
// only; no store handle is held between operations.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

// Company part of the key path; "Marrowby" until the start-up switch.
extern QString SettingsCompany;
// Root of the key (HKEY_CURRENT_USER until the start-up switch).
extern std::uint32_t SettingsRootKey;

namespace RegistryVariables {
// The start-up switch, before any variable is made: an executable whose file name (after the
// last '/', '\' or ':') reads "MURLOWEN.EXE" with ASCII letters upper-cased keeps its settings
// under HKEY_LOCAL_MACHINE with company "Brindlecorp"; any other keeps "Marrowby" under
// HKEY_CURRENT_USER. It first puts both back to those initial values, so a start-up after a
// shut-down begins afresh.
void StartUp();
// Clears SettingsCompany.
void ShutDown();
} // namespace RegistryVariables

// Base of the settings variables. Copies company and root when made; each kind loads in its
// constructor and saves in its destructor.
class TRegistryVariable {
public:
    explicit TRegistryVariable(const QString& valueName);
    virtual ~TRegistryVariable();
    TRegistryVariable(const TRegistryVariable&) = delete;
    TRegistryVariable& operator=(const TRegistryVariable&) = delete;

    // Writes Value to the store at once, creating the key (and keys above it) when missing.
    // Never throws; a failure writes nothing.
    virtual void Save() = 0;

    const QString ValueName; // the value's name under the key; "" is the key's unnamed value
    const QString KeyPath;   // "\Software\<company>\<executable base name>"
    const std::uint32_t RootKey;

protected:
    // Reads the stored value when it has this type and exactly this many bytes (at most 8);
    // false, with buffer untouched, on any failure.
    bool LoadData(std::uint32_t type, unsigned char* buffer, std::uint32_t size) const noexcept;
    // Writes the value with this type and data, replacing whatever stood under the name.
    void SaveData(std::uint32_t type, const unsigned char* data, std::uint32_t size) const noexcept;
};

// REG_DWORD 1 or 0; any stored non-zero number reads as true.
class TRegistryBoolean : public TRegistryVariable {
public:
    TRegistryBoolean(const QString& valueName, bool defaultValue);
    ~TRegistryBoolean() override;
    void Save() override;
    bool Value;
};

// REG_DWORD, the number in two's complement.
class TRegistryInteger : public TRegistryVariable {
public:
    TRegistryInteger(const QString& valueName, std::int32_t defaultValue);
    ~TRegistryInteger() override;
    void Save() override;
    std::int32_t Value;
};

// REG_BINARY of exactly 8 bytes; a stored NaN reads as the default, infinities are taken.
class TRegistryDouble : public TRegistryVariable {
public:
    TRegistryDouble(const QString& valueName, double defaultValue);
    ~TRegistryDouble() override;
    void Save() override;
    double Value;
};

// A date-time setting (TDateTime), stored exactly as a TRegistryDouble.
class TRegistryDateTime : public TRegistryDouble {
public:
    using TRegistryDouble::TRegistryDouble;
};

class TForm;

// A window's geometry memory: seven integer settings, made in this order (which is also the
// order of their stores) with the form's current values as defaults:
//   "FormState" (WindowState 0/1/2), "FormLeft", "FormTop", "FormWidth", "FormHeight" (the
//   window's frame), "FormClientWidth", "FormClientHeight" (its client area).
// Make it once the form has been loaded; free it while the form still exists: freeing copies
// the form's seven values into the settings, then stores them in the order above.
// The form is not owned.
class TRegistryFormInfo {
public:
    explicit TRegistryFormInfo(TForm* form);
    ~TRegistryFormInfo();
    TRegistryFormInfo(const TRegistryFormInfo&) = delete;
    TRegistryFormInfo& operator=(const TRegistryFormInfo&) = delete;

    // Moves the form to the remembered left, then top; nothing else is applied, and the
    // position is not checked against the screens. May be called any number of times.
    void RestorePosition();

private:
    TForm* FForm;
    std::unique_ptr<TRegistryInteger> FClientHeight;
    std::unique_ptr<TRegistryInteger> FClientWidth;
    std::unique_ptr<TRegistryInteger> FHeight;
    std::unique_ptr<TRegistryInteger> FLeft;
    std::unique_ptr<TRegistryInteger> FState;
    std::unique_ptr<TRegistryInteger> FTop;
    std::unique_ptr<TRegistryInteger> FWidth;
};
