// Start-up and shut-down of the units both programs share. Each program's main makes one
// TSharedUnits before anything else and keeps it until after the message loop.
#pragma once

// Construction starts the units in their fixed order: the degree-sign unit, Utils (optional
// system functions), RegistryVariables (company and root of the settings key). Destruction
// shuts them down in the reverse order. Neither step can fail.
class TSharedUnits {
public:
    TSharedUnits();
    ~TSharedUnits();
    TSharedUnits(const TSharedUnits&) = delete;
    TSharedUnits& operator=(const TSharedUnits&) = delete;
};
