// Starts and stops the shared units and prints, one "name value" per line, what the start-up
// resolved and what the shut-down left. A function entry prints as "none", "precise" or
// "older" (for the clock) or "set".
#include "DegreeSign.h"
#include "RegistryVariables.h"
#include "SharedUnits.h"
#include "Utils.h"

#include <cstdio>

namespace {

template <typename T> const char* Set(T entry) {
    return entry ? "set" : "none";
}

void PrintEntries(const char* phase) {
    const Utils::TOptionalFunctions& entries = Utils::OptionalFunctions();
    const char* clock = "none";
    if (entries.FileTimeClock) {
        // Compare with what the library itself answers; looked up on a handle of our own.
        HMODULE own = LoadLibraryW("kernel32.dll");
        clock = entries.FileTimeClock == GetProcAddress(own, "GetSystemTimePreciseAsFileTime")
                    ? "precise"
                : entries.FileTimeClock == GetProcAddress(own, "GetSystemTimeAsFileTime") ? "older"
                                                                                          : "other";
        FreeLibrary(own);
    }
    std::printf("%s.DegreeSymbol %s\n", phase, DegreeSymbol.toUtf8().toHex().constData());
    std::printf("%s.SettingsCompany %s\n", phase, SettingsCompany.toUtf8().constData());
    std::printf("%s.DwmapiModule %s\n", phase, Set(entries.DwmapiModule));
    std::printf("%s.Kernel32Module %s\n", phase, Set(entries.Kernel32Module));
    std::printf("%s.CompositionSwitch %s\n", phase, Set(entries.CompositionSwitch));
    std::printf("%s.CompositionQuery %s\n", phase, Set(entries.CompositionQuery));
    std::printf("%s.FileTimeClock %s\n", phase, clock);
    std::printf("%s.TickCount64 %s\n", phase, Set(entries.TickCount64));
}

} // namespace

int main() {
    {
        TSharedUnits units;
        PrintEntries("started");
    }
    PrintEntries("stopped");
    return 0;
}
