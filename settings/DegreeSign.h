// The degree-sign unit: one string, "°" (U+00B0) from its start-up to its shut-down.
#pragma once

#include <QString>

extern QString DegreeSymbol;

namespace DegreeSign {
void StartUp();  // sets DegreeSymbol to "°"
void ShutDown(); // clears it
} // namespace DegreeSign
