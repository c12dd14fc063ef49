#include "SharedUnits.h"

#include "DegreeSign.h"
#include "RegistryVariables.h"
#include "Utils.h"

TSharedUnits::TSharedUnits() {
    DegreeSign::StartUp();
    Utils::StartUp();
    RegistryVariables::StartUp();
}

TSharedUnits::~TSharedUnits() {
    RegistryVariables::ShutDown();
    Utils::ShutDown();
    DegreeSign::ShutDown();
}
