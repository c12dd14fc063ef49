// Environment variables changed for a while in a test and put back as they were.
#pragma once

#include <QByteArray>

#include <optional>

namespace testenv {

// Sets the variable; the destructor puts back its earlier value, or unsets it when it had none.
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

// The time zone TZ for a while; the C library's time functions follow it both ways (tzset).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<ScopedVariable> FVariable;
};

} // namespace testenv
