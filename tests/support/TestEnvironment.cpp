#include "TestEnvironment.h"

#include <cstdlib>
#include <ctime>

namespace testenv {

ScopedVariable::ScopedVariable(const char* name, const QByteArray& value)
    : FName(name), FWasSet(std::getenv(name) != nullptr), FPrevious(qgetenv(name)) {
    setenv(FName, value.constData(), 1);
    tzset();
}

ScopedVariable::~ScopedVariable() {
    if (FWasSet)
        setenv(FName, FPrevious.constData(), 1);
    else
        unsetenv(FName);
    tzset();
}

} // namespace testenv
