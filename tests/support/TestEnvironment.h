// Environment variables changed for a while in a test and put back as they were.
#pragma once

#include <QByteArray>

namespace testenv {

// Sets the variable; the destructor puts back its earlier value, or unsets it when it had none.
// The C library rereads TZ both ways (tzset), so a time zone set this way takes effect at once.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const QByteArray& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* FName;
    bool FWasSet;
    QByteArray FPrevious;
};

} // namespace testenv
