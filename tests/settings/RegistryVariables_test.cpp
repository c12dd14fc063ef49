#include "RegistryVariables.h"

#include "RegistryValues.h"
#include "SysUtils.h"
#include "TestDirs.h"
#include "TestFiles.h"
#include "registry.h"
#include "winbase.h"

#include <QByteArray>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace {

using namespace testregistry;
using testfiles::Contents;
using testfiles::WriteContents;

// The eight bytes of a 64-bit value, least significant first.
QByteArray Bits(std::uint64_t bits) {
    return Dword(static_cast<std::uint32_t>(bits)) + Dword(static_cast<std::uint32_t>(bits >> 32));
}

QByteArray DoubleData(double value) {
    return Bits(std::bit_cast<std::uint64_t>(value));
}

class RegistryVariablesTest : public ::testing::Test {
protected:
    void SetUp() override { UseExecutable("C:\\Program Files\\Marrowby\\Tidelog.exe"); }
    void TearDown() override {
        RegistryVariables::ShutDown();
        SetExecutablePathOverride(QString());
    }
    static void UseExecutable(const QString& path) {
        SetExecutablePathOverride(path);
        RegistryVariables::StartUp();
    }
};

TEST_F(RegistryVariablesTest, FirstRunKeepsDefaultsAndFreeingWritesEveryValue) {
    const double start = EncodeTime(10, 50, 0, 0);
    {
        TRegistryDateTime startVar("Start", start);
        TRegistryBoolean device("Device", false);
        TRegistryInteger interval("Interval", 5);
        TRegistryDouble ratio("Ratio", -2.5);
        EXPECT_EQ(startVar.Value, start);
        EXPECT_FALSE(device.Value);
        EXPECT_EQ(interval.Value, 5);
        EXPECT_EQ(ratio.Value, -2.5);
        EXPECT_FALSE(QFileInfo::exists(TidelogKeyFile())); // loading creates nothing
        // Assigning touches nothing; Save writes at once.
        interval.Value = 7;
        EXPECT_FALSE(QFileInfo::exists(TidelogKeyFile()));
        interval.Save();
        EXPECT_EQ(Query("Interval").Data, Dword(7));
        EXPECT_EQ(Query("Start").Result, ERROR_FILE_NOT_FOUND);
        interval.Value = 8;
    }
    const Stored startStored = Query("Start");
    EXPECT_EQ(startStored.Type, REG_BINARY);
    EXPECT_EQ(startStored.Data, DoubleData(start));
    EXPECT_EQ(Query("Device").Type, REG_DWORD);
    EXPECT_EQ(Query("Device").Data, Dword(0));
    EXPECT_EQ(Query("Interval").Data, Dword(8));
    EXPECT_EQ(Query("Ratio").Data, DoubleData(-2.5));

    // The next run reads them; a value not yet there keeps its default until it is freed.
    TRegistryDateTime startVar("Start", 0.0);
    TRegistryBoolean device("Device", true);
    TRegistryInteger interval("Interval", 5);
    TRegistryInteger other("Other", 42);
    EXPECT_EQ(startVar.Value, start);
    EXPECT_FALSE(device.Value);
    EXPECT_EQ(interval.Value, 8);
    EXPECT_EQ(other.Value, 42);
    EXPECT_EQ(Query("Other").Result, ERROR_FILE_NOT_FOUND);
}

enum class Kind { Boolean, Integer, Double, DateTime };

std::unique_ptr<TRegistryVariable> Make(Kind kind, const QString& name, double defaultValue) {
    switch (kind) {
    case Kind::Boolean:
        return std::make_unique<TRegistryBoolean>(name, defaultValue != 0);
    case Kind::Integer:
        return std::make_unique<TRegistryInteger>(name, static_cast<std::int32_t>(defaultValue));
    case Kind::Double:
        return std::make_unique<TRegistryDouble>(name, defaultValue);
    case Kind::DateTime:
        return std::make_unique<TRegistryDateTime>(name, defaultValue);
    }
    return nullptr;
}

double ValueOf(const TRegistryVariable& variable) {
    if (auto* boolean = dynamic_cast<const TRegistryBoolean*>(&variable))
        return boolean->Value ? 1 : 0;
    if (auto* integer = dynamic_cast<const TRegistryInteger*>(&variable))
        return integer->Value;
    return dynamic_cast<const TRegistryDouble&>(variable).Value;
}

TEST_F(RegistryVariablesTest, WrongTypeOrLengthGivesDefaultAndSaveStoresTheRightType) {
    const struct {
        Kind VariableKind;
        DWORD Type;
        QByteArray Data;
    } rows[] = {
        {Kind::DateTime, REG_SZ, QByteArray("1\0000\0:\0005\0000\0\0\0", 12)},
        {Kind::DateTime, REG_BINARY, QByteArray("\x00\x00\xe2\x3f", 4)},
        {Kind::Double, REG_BINARY, QByteArray(9, '\x01')},
        {Kind::Double, REG_BINARY, QByteArray()},
        {Kind::Double, REG_DWORD, Dword(3)},
        {Kind::Double, REG_QWORD, DoubleData(2.0)},
        {Kind::Integer, REG_BINARY, Dword(3)},
        {Kind::Integer, REG_SZ, QByteArray("3\0\0\0", 4)},
        {Kind::Integer, REG_DWORD, QByteArray("\x03\x00", 2)},
        {Kind::Integer, REG_DWORD_BIG_ENDIAN, Dword(3)},
        {Kind::Boolean, REG_BINARY, Dword(1)},
        {Kind::Boolean, REG_QWORD, Bits(1)},
    };
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(index);
        const QString name = QStringLiteral("Value%1").arg(index++);
        ASSERT_EQ(Set(name, row.Type, row.Data), ERROR_SUCCESS);
        const double defaultValue = row.VariableKind == Kind::Boolean ? 1 : 0.25 + index;
        std::unique_ptr<TRegistryVariable> variable = Make(row.VariableKind, name, defaultValue);
        EXPECT_EQ(ValueOf(*variable), row.VariableKind == Kind::Integer
                                          ? static_cast<std::int32_t>(defaultValue)
                                          : defaultValue);
        EXPECT_EQ(Query(name).Data, row.Data); // loading leaves the stored value alone
        variable.reset();                      // frees through the base: saves as its kind
        const Stored stored = Query(name);
        switch (row.VariableKind) {
        case Kind::Boolean:
            EXPECT_EQ(stored.Type, REG_DWORD);
            EXPECT_EQ(stored.Data, Dword(1));
            break;
        case Kind::Integer:
            EXPECT_EQ(stored.Type, REG_DWORD);
            EXPECT_EQ(stored.Data, Dword(static_cast<std::uint32_t>(defaultValue)));
            break;
        case Kind::Double:
        case Kind::DateTime:
            EXPECT_EQ(stored.Type, REG_BINARY);
            EXPECT_EQ(stored.Data, DoubleData(defaultValue));
            break;
        }
    }
}

TEST_F(RegistryVariablesTest, NanPatternsGiveTheDefaultInfinitiesAreTaken) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::uint64_t Stored;
        bool Taken;
    } rows[] = {
        {0x7FF8000000000000, false}, {0xFFF8000000000000, false}, {0x7FF0000000000001, false},
        {0xFFFFFFFFFFFFFFFF, false}, {0x7FF0000000000000, true},  {0xFFF0000000000000, true},
        {0x8000000000000000, true},  {0x0000000000000001, true},  {0x7FEFFFFFFFFFFFFF, true},
    };
    for (const Kind kind : {Kind::Double, Kind::DateTime}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << std::hex << row.Stored);
            ASSERT_EQ(Set("Value", REG_BINARY, Bits(row.Stored)), ERROR_SUCCESS);
            std::unique_ptr<TRegistryVariable> variable = Make(kind, "Value", 43905.5);
            const double value = ValueOf(*variable);
            if (row.Taken)
                EXPECT_EQ(std::bit_cast<std::uint64_t>(value), row.Stored);
            else
                EXPECT_EQ(value, 43905.5);
            variable.reset();
            EXPECT_EQ(Query("Value").Data, row.Taken ? Bits(row.Stored) : DoubleData(43905.5));
        }
    }
    ASSERT_EQ(Set("Value", REG_BINARY, DoubleData(inf)), ERROR_SUCCESS);
    EXPECT_EQ(TRegistryDateTime("Value", 1.0).Value, inf);
}

TEST_F(RegistryVariablesTest, DwordsReadAsBooleansAndSignedIntegers) {
    const struct {
        std::uint32_t Stored;
        bool Boolean;
        std::int32_t Integer;
    } rows[] = {
        {2, true, 2},
        {0, false, 0},
        {1, true, 1},
        {0x80000000, true, std::numeric_limits<std::int32_t>::min()},
        {0xFFFFFF85, true, -123},
        {0x7FFFFFFF, true, std::numeric_limits<std::int32_t>::max()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Stored);
        ASSERT_EQ(Set("Flag", REG_DWORD, Dword(row.Stored)), ERROR_SUCCESS);
        ASSERT_EQ(Set("Number", REG_DWORD, Dword(row.Stored)), ERROR_SUCCESS);
        {
            TRegistryBoolean flag("Flag", !row.Boolean);
            TRegistryInteger number("Number", 99);
            EXPECT_EQ(flag.Value, row.Boolean);
            EXPECT_EQ(number.Value, row.Integer);
        }
        EXPECT_EQ(Query("Flag").Data, Dword(row.Boolean ? 1 : 0)); // 2 goes back as 1
        EXPECT_EQ(Query("Number").Data, Dword(row.Stored));
    }
}

TEST_F(RegistryVariablesTest, ExecutableNamePicksKeyCompanyAndRoot) {
    // Initial: the value read when made, the default 100 + row unless another spelling of the
    // same key stored one before (key names compare without regard to case, as in the
    // registry). File: where the key lives below the root's folder.
    const struct {
        const char* Path;
        const char* Company;
        std::uint32_t Root;
        const char* BaseName;
        int Initial;
        const char* File;
    } rows[] = {
        {"C:\\Program Files\\Marrowby\\Tidelog.exe", "Marrowby", 0x80000001, "Tidelog", 100,
         "Marrowby/Tidelog.reg"},
        {"/opt/tidelog/Tidelog2.exe", "Marrowby", 0x80000001, "Tidelog2", 101,
         "Marrowby/Tidelog2.reg"},
        {"D:a.b.exe", "Marrowby", 0x80000001, "a.b", 102, "Marrowby/a.b.reg"},
        {"/opt/dotted.dir/Dipview", "Marrowby", 0x80000001, "Dipview", 103, "Marrowby/Dipview.reg"},
        {"/usr/bin/tidelog", "Marrowby", 0x80000001, "tidelog", 100, "Marrowby/Tidelog.reg"},
        {"C:\\x\\murlowen.exe", "Brindlecorp", 0x80000002, "murlowen", 105,
         "Brindlecorp/murlowen.reg"},
        {"/opt/Murlowen.EXE", "Brindlecorp", 0x80000002, "Murlowen", 105,
         "Brindlecorp/murlowen.reg"},
        {"MURLOWEN.COM", "Marrowby", 0x80000001, "MURLOWEN", 107, "Marrowby/MURLOWEN.reg"},
        {"/x/MURLOWEN.EXE.bak", "Marrowby", 0x80000001, "MURLOWEN.EXE", 108,
         "Marrowby/MURLOWEN.EXE.reg"},
        {"/x/MURLOWEN.EXE/other.exe", "Marrowby", 0x80000001, "other", 109, "Marrowby/other.reg"},
    };
    int index = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Path);
        UseExecutable(row.Path);
        EXPECT_EQ(SettingsCompany, row.Company);
        EXPECT_EQ(SettingsRootKey, row.Root);
        const QString keyPath = QStringLiteral("\\Software\\%1\\%2").arg(row.Company, row.BaseName);
        {
            TRegistryInteger probe("Probe", 100 + index);
            EXPECT_EQ(probe.KeyPath, keyPath);
            EXPECT_EQ(probe.RootKey, row.Root);
            EXPECT_EQ(probe.ValueName, "Probe");
            EXPECT_EQ(probe.Value, row.Initial);
            probe.Value = 100 + index;
        }
        EXPECT_EQ(Query("Probe", row.Root, keyPath.mid(1)).Data, Dword(100 + index));
        const QString rootFolder =
            row.Root == 0x80000002 ? testdirs::ConfigDirs() : testdirs::ConfigHome();
        EXPECT_TRUE(QFileInfo(rootFolder + "/Software/" + row.File).isFile());
        ++index;
    }
    // A variable keeps the company and root it copied when it was made.
    UseExecutable("murlowen.exe");
    TRegistryBoolean machine("Machine", true);
    RegistryVariables::ShutDown();
    EXPECT_TRUE(SettingsCompany.isEmpty());
    EXPECT_EQ(machine.KeyPath, "\\Software\\Brindlecorp\\murlowen");
    EXPECT_EQ(machine.RootKey, 0x80000002u);
}

TEST_F(RegistryVariablesTest, ReadOnlyKeyKeepsDefaultsAndItsSavesChangeNothing) {
    {
        TRegistryInteger interval("Interval", 9);
        TRegistryDateTime start("Start", 0.5);
    }
    const QByteArray before = Contents(TidelogKeyFile());
    const QString folder = QFileInfo(TidelogKeyFile()).path();
    for (const QString& readOnly : {TidelogKeyFile(), folder}) {
        testfiles::WithReadOnly(readOnly, [&] {
            {
                TRegistryInteger interval("Interval", 5);
                TRegistryDateTime start("Start", 0.25);
                TRegistryBoolean device("Device", true);
                EXPECT_EQ(interval.Value, 5); // the key is there, but only for reading
                EXPECT_EQ(start.Value, 0.25);
                interval.Value = 11;
                interval.Save();
            }
            EXPECT_EQ(Contents(TidelogKeyFile()), before);
        });
    }
    EXPECT_EQ(TRegistryInteger("Interval", 5).Value, 9);
}

TEST_F(RegistryVariablesTest, GarbageFileGivesDefaultsAndIsKeptUntilSaved) {
    QByteArray garbage;
    for (int i = 0; i < 2048; ++i)
        garbage += static_cast<char>((i * 131 + 7) % 256);
    WriteContents(TidelogKeyFile(), garbage);
    {
        TRegistryInteger interval("Interval", 5);
        TRegistryDateTime start("Start", 0.25);
        EXPECT_EQ(interval.Value, 5);
        EXPECT_EQ(start.Value, 0.25);
        EXPECT_EQ(Contents(TidelogKeyFile()), garbage);
    }
    // The save added the values and kept every byte it could not read.
    const QByteArray saved = Contents(TidelogKeyFile());
    EXPECT_TRUE(saved.contains(garbage));
    EXPECT_EQ(TRegistryInteger("Interval", 1).Value, 5);
    EXPECT_EQ(TRegistryDateTime("Start", 1).Value, 0.25);
}

TEST_F(RegistryVariablesTest, CutFileGivesStoredValuesOrDefaults) {
    {
        TRegistryInteger interval("Interval", 9);
        TRegistryDateTime start("Start", 0.5);
        TRegistryBoolean device("Device", true);
    }
    const QByteArray full = Contents(TidelogKeyFile());
    for (qsizetype cut = 0; cut < full.size(); cut += 3) {
        SCOPED_TRACE(cut);
        WriteContents(TidelogKeyFile(), full.left(cut));
        TRegistryInteger interval("Interval", 5);
        TRegistryDateTime start("Start", 0.25);
        TRegistryBoolean device("Device", false);
        EXPECT_TRUE(interval.Value == 9 || interval.Value == 5) << interval.Value;
        EXPECT_TRUE(start.Value == 0.5 || start.Value == 0.25) << start.Value;
        EXPECT_EQ(Contents(TidelogKeyFile()), full.left(cut)); // untouched until saved
        // The values whose lines are whole in the cut file are read.
        EXPECT_EQ(interval.Value == 9, full.left(cut).contains("\"Interval\"=dword:00000009\n") ||
                                           full.left(cut).endsWith("\"Interval\"=dword:00000009"));
        EXPECT_EQ(start.Value == 0.5, full.left(cut).contains("\"Start\"=hex:00,00,00,00,00,00,"
                                                              "e0,3f\n"));
    }
}

} // namespace
