#include "DegreeSign.h"

QString DegreeSymbol;

namespace DegreeSign {

void StartUp() {
    DegreeSymbol = QString(QChar(0x00B0));
}

void ShutDown() {
    DegreeSymbol.clear();
}

} // namespace DegreeSign
