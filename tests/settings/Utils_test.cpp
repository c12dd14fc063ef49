#include "ChildProcesses.h"
#include "DegreeSign.h"
#include "RegistryVariables.h"
#include "SharedUnits.h"
#include "TestEnvironment.h"
#include "Utils.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ctime>
#include <iostream>
#include <map>

namespace {

TEST(DoubleIsNan, ExponentAllOnesAndMantissaNotZero) {
    const struct {
        std::uint64_t Bits;
        bool Nan;
    } rows[] = {
        {0x7FF8000000000000, true},  // quiet NaN
        {0xFFF8000000000000, true},  // the same with the sign bit
        {0x7FF0000000000001, true},  // smallest mantissa
        {0xFFFFFFFFFFFFFFFF, true},  // every bit
        {0x7FF4000000000000, true},  // signalling NaN
        {0x7FF0000000000000, false}, // +infinity
        {0xFFF0000000000000, false}, // -infinity
        {0x7FEFFFFFFFFFFFFF, false}, // largest finite double
        {0x0000000000000000, false}, // 0
        {0x8000000000000000, false}, // -0
        {0x3FF0000000000000, false}, // 1.0
        {0x000FFFFFFFFFFFFF, false}, // largest subnormal: mantissa full, exponent zero
        {0x7FE0000000000001, false}, // exponent one short of all ones
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.Bits);
        EXPECT_EQ(DoubleIsNan(std::bit_cast<double>(row.Bits)), row.Nan);
    }
}

TEST(UtcNow, KnownInstantsWhateverTheTimeZone) {
    const struct {
        std::int64_t UnixMs;
        double Expected;
    } instants[] = {
        {1584252000000, 43905.25},                                 // 2020-03-15 06:00:00.000
        {1584273600500, 43905.0 + (12 * 3600000.0 + 500) / 864e5}, // 2020-03-15 12:00:00.500
        {1584316799999, 43905.0 + 86399999.0 / 864e5},             // the day's last millisecond
        {1584316800000, 43906.0},                                  // next midnight
        {-2209161600000, 0.0},                                     // 1899-12-30 00:00
    };
    const char* zones[] = {"UTC", "Pacific/Kiritimati", "America/St_Johns", "Asia/Kathmandu",
                           "<-11>11"};
    for (const char* zone : zones) {
        const testenv::ScopedVariable inZone("TZ", zone);
        for (const auto& instant : instants) {
            SCOPED_TRACE(testing::Message() << zone << " " << instant.UnixMs);
            SetClockSource([&] { return instant.UnixMs; });
            EXPECT_DOUBLE_EQ(UtcNow(), instant.Expected);
        }
    }
    SetClockSource({});
    // The real clock: days since 1899-12-30 = 25569 + Unix seconds / 86400, in UTC.
    const testenv::ScopedVariable inZone("TZ", "Asia/Kathmandu");
    const double expected = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
    // A minute of slack for a loaded machine; a local time would be off by hours.
    EXPECT_NEAR(UtcNow(), expected, 60.0 / 86400.0);
}

// What the probe program printed, as "name" -> "value".
std::map<QString, QString> RunProbe(bool withKernel32) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (withKernel32)
        environment.insert("LD_LIBRARY_PATH", FAKE_DLL_DIR);
    else
        environment.remove("LD_LIBRARY_PATH");
    const proctest::ProgramRun run = proctest::RunProgram(UTILS_PROBE, {}, environment, 60000);
    std::cerr << run.err.constData(); // the probe's complaints, if any, for the test's log
    std::map<QString, QString> printed;
    if (!run.finished)
        return printed;
    for (const QString& line : QString::fromUtf8(run.out).split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            printed[line.left(space)] = line.mid(space + 1);
    }
    printed["exit"] = QString::number(run.exitCode);
    return printed;
}

TEST(SharedUnits, StartUpResolvesOptionalFunctionsAndShutDownReleasesThem) {
    // Without the libraries, as on every Linux machine: every entry stays empty.
    std::map<QString, QString> printed = RunProbe(false);
    EXPECT_EQ(printed["exit"], "0");
    for (const char* entry : {"DwmapiModule", "Kernel32Module", "CompositionSwitch",
                              "CompositionQuery", "FileTimeClock", "TickCount64"})
        EXPECT_EQ(printed[QStringLiteral("started.") + entry], "none") << entry;
    EXPECT_EQ(printed["started.DegreeSymbol"], "c2b0"); // UTF-8 of U+00B0
    EXPECT_EQ(printed["started.SettingsCompany"], "Marrowby");
    EXPECT_EQ(printed["stopped.DegreeSymbol"], "");
    EXPECT_EQ(printed["stopped.SettingsCompany"], "");

    // A kernel32 without the precise clock: the entry holds the older one. No DWMAPI: both
    // composition entries stay empty.
    printed = RunProbe(true);
    EXPECT_EQ(printed["exit"], "0");
    EXPECT_EQ(printed["started.Kernel32Module"], "set");
    EXPECT_EQ(printed["started.FileTimeClock"], "older");
    EXPECT_EQ(printed["started.TickCount64"], "set");
    EXPECT_EQ(printed["started.DwmapiModule"], "none");
    EXPECT_EQ(printed["started.CompositionSwitch"], "none");
    EXPECT_EQ(printed["started.CompositionQuery"], "none");
    // Shut-down releases the library; the function entries are left as they were.
    EXPECT_EQ(printed["stopped.Kernel32Module"], "none");
    EXPECT_EQ(printed["stopped.TickCount64"], "set");
}

TEST(SharedUnits, GuardStartsAllAndShutsAllDown) {
    SetExecutablePathOverride("C:\\Programs\\murlowen.exe");
    {
        TSharedUnits units;
        EXPECT_EQ(DegreeSymbol, QString(QChar(0x00B0)));
        EXPECT_EQ(SettingsCompany, "Brindlecorp");
        EXPECT_EQ(SettingsRootKey, 0x80000002u);
        Utils::ShutDown(); // a second shut-down by the guard must release nothing twice
    }
    EXPECT_TRUE(DegreeSymbol.isEmpty());
    EXPECT_EQ(Utils::OptionalFunctions().Kernel32Module, nullptr);
    EXPECT_TRUE(SettingsCompany.isEmpty());
    SetExecutablePathOverride(QString());
}

} // namespace
