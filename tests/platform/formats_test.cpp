#include "TestDirs.h"
#include "TestFormats.h"
#include "formats.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using testformats::At;
using testformats::Separators;

TFormatSettings German() {
    TFormatSettings s = Separators(u'.', u':', u',');
    s.ShortMonthNames = QStringList{"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                    "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    return s;
}

struct DateRow {
    const char* pattern;
    TDateTime value;
    TFormatSettings settings;
    const char* expected;
};

TEST(FormatDateTime, PatternElementsSeparatorsAndQuotes) {
    const TDateTime sample = At(2018, 10, 4, 10, 55, 0);
    const TFormatSettings us = Separators(u'/', u':', u'.');
    const DateRow rows[] = {
        {"yyyy/mm/dd hh:nn:ss ", sample, us, "2018/10/04 10:55:00 "},
        {"yyyy/mm/dd hh:nn:ss ", sample, German(), "2018.10.04 10:55:00 "},
        {"yyyy/mm/dd hh:nn:ss ", sample, Separators(u'-', u'.', u','), "2018-10-04 10.55.00 "},
        {"yyyy/mm/dd hh:nn:ss ", sample, Separators(u'.', u'.', u'.'), "2018.10.04 10.55.00 "},
        {"yyyy-mm-dd", sample, German(), "2018-10-04"},
        {"YYYY-MM-DD HH:NN:SS", sample, us, "2018-10-04 10:55:00"},
        {"dd-mmm", sample, us, "04-Oct"},
        {"dd-mmm", At(2018, 3, 1, 0, 0, 0), German(), "01-Mär"},
        {"yy m/d h:n:s", At(2009, 2, 3, 4, 5, 6), us, "09 2/3 4:5:6"},
        {"\"at\" hh 'o''clock'", sample, us, "at 10 oclock"},
        {"\"yyyy/mm\" yyyy", sample, us, "yyyy/mm 2018"},
        {"hh\"h", sample, us, "10h"},
        {"#hh% ", sample, us, "#10% "},
        {"yyyy", At(1, 1, 1, 0, 0, 0), us, "0001"},
        // Midnight belongs to the new day; the fraction of a second is dropped, not rounded.
        {"yyyy/mm/dd hh:nn:ss", EncodeDate(2018, 10, 4), us, "2018/10/04 00:00:00"},
        {"yyyy/mm/dd hh:nn:ss", At(2018, 10, 4, 23, 59, 59, 999), us, "2018/10/04 23:59:59"},
        {"yyyy/mm/dd hh:nn:ss", At(2018, 12, 31, 10, 55, 0, 600), us, "2018/12/31 10:55:00"},
        // A hair below midnight is a whole millisecond away from nothing: the next day.
        {"yyyy/mm/dd hh:nn:ss", EncodeDate(2018, 12, 31) + 0.99999999999, us,
         "2019/01/01 00:00:00"},
    };
    for (const DateRow& row : rows) {
        SCOPED_TRACE(row.pattern);
        EXPECT_EQ(FormatDateTime(QString::fromUtf8(row.pattern), row.value, row.settings),
                  QString::fromUtf8(row.expected));
    }
}

struct FixedRow {
    double value;
    int decimals;
    QChar separator;
    const char* expected;
};

TEST(FormatFixed, RoundsTheExactBinaryValueLikePrintf) {
    const FixedRow rows[] = {
        {0.05, 1, u'.', "0.1"}, // 0.05000000000000000277
        {0.15, 1, u'.', "0.1"}, // 0.14999999999999999445
        {0.25, 1, u'.', "0.2"}, // exactly half: to even
        {0.35, 1, u'.', "0.3"},   {123.45, 1, u'.', "123.5"},
        {12.3f, 1, u'.', "12.3"}, {0.0, 1, u'.', "0.0"},
        {9.96, 1, u'.', "10.0"},  {123.4, 1, u'.', "123.4"},
        {-0.04, 1, u'.', "-0.0"}, {-12.34, 1, u'.', "-12.3"},
        {12.3, 1, u',', "12,3"},  {1e20, 1, u'.', "100000000000000000000.0"},
        {12.5, 0, u',', "12"},    {2.675, 2, u'٫', "2٫67"},
    };
    for (const FixedRow& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(FormatFixed(row.value, row.decimals, Separators(u'/', u':', row.separator)),
                  QString::fromUtf8(row.expected));
    }
}

TEST(FormatFixed, AgreesWithPrintfInTheCLocale) {
    ASSERT_STREQ(std::localeconv()->decimal_point, ".");
    std::mt19937_64 random(20181004);
    std::uniform_real_distribution<double> spread(0.0, 2000.0);
    for (int i = 0; i < 20000; ++i) {
        // Half of the values sit on a hundredth, where the rounding decides.
        const double value = i % 2 ? spread(random) : std::round(spread(random) * 100) / 100;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.1f", value);
        ASSERT_EQ(FormatFixed(value, 1, TFormatSettings()), QString::fromLatin1(expected)) << value;
    }
}

struct NumberRow {
    const char* text;
    bool ok;
    double value;
};

void CheckNumbers(const TFormatSettings& settings, std::initializer_list<NumberRow> rows) {
    for (const NumberRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "\"" << row.text << "\"");
        double value = 42;
        EXPECT_EQ(TryStrToFloat(QString::fromUtf8(row.text), value, settings), row.ok);
        if (row.ok)
            EXPECT_DOUBLE_EQ(value, row.value);
        else
            EXPECT_EQ(value, 42); // untouched on failure
    }
}

TEST(TryStrToFloat, WithThePointAsSeparator) {
    CheckNumbers(Separators(u'/', u':', u'.'),
                 {
                     {"123", true, 123},   {" 123 ", true, 123}, {"   123", true, 123},
                     {"0", true, 0},       {"-5", true, -5},     {"+5", true, 5},
                     {"12.3", true, 12.3}, {".5", true, 0.5},    {"1e2", true, 100},
                     {"1E2", true, 100},   {"1e+2", true, 100},  {"-1.5e-1", true, -0.15},
                     {"007", true, 7},     {"1e-400", true, 0},  {"", false, 0},
                     {"   ", false, 0},    {"\t123", false, 0},  {"123\r", false, 0},
                     {"12,3", false, 0},   {"5.", false, 0},     {".", false, 0},
                     {"12.3.4", false, 0}, {"abc", false, 0},    {"12a", false, 0},
                     {"1e", false, 0},     {"e5", false, 0},     {"1e2.5", false, 0},
                     {"--5", false, 0},    {"- 5", false, 0},    {"1 2", false, 0},
                     {"0x10", false, 0},   {"inf", false, 0},    {"nan", false, 0},
                     {"1e400", false, 0},  {"١٢٣", false, 0}, // Arabic-Indic digits
                 });
}

TEST(TryStrToFloat, ReadsEverySpellingToTheNearestDouble) {
    // Short numbers, long ones, many zeros and wide exponents, each checked bit for bit against
    // the standard library's correctly rounded reading.
    std::mt19937 random(7);
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += static_cast<char>('0' + random() % 10);
        return text;
    };
    for (int i = 0; i < 50000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        text += digits(static_cast<int>(random() % 8));
        if (random() % 3 != 0 || text.empty() || text == "-")
            text += "." + digits(1 + static_cast<int>(random() % (i % 10 == 0 ? 25 : 8)));
        if (random() % 3 == 0)
            text += "e" + std::to_string(static_cast<int>(random() % 80) - 40);
        double expected = 0;
        const char* first = text.data() + (text[0] == '-');
        const auto parsed = std::from_chars(first, text.data() + text.size(), expected);
        ASSERT_EQ(parsed.ec, std::errc()) << text;
        if (text[0] == '-')
            expected = -expected;
        double value = 42;
        ASSERT_TRUE(TryStrToFloat(QString::fromStdString(text), value, TFormatSettings())) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}

TEST(TryStrToFloat, WithTheCommaAsSeparator) {
    CheckNumbers(German(), {
                               {"12,3", true, 12.3},
                               {" -0,5 ", true, -0.5},
                               {"1,5e1", true, 15},
                               {"123", true, 123},
                               {"12.3", false, 0},
                               {"1.000", false, 0},
                           });
}

TEST(TryStrToFloat, TwoArgumentFormUsesTheCurrentSettings) {
    SetFormatSettings(German());
    double value = 0;
    EXPECT_TRUE(TryStrToFloat("12,5", value));
    EXPECT_EQ(value, 12.5);
    EXPECT_FALSE(TryStrToFloat("12.5", value));
    EXPECT_EQ(FormatFixed(12.25, 1), "12,2");
    EXPECT_EQ(FormatDateTime("dd/mm hh:nn", At(2018, 10, 4, 10, 55, 0)), "04.10 10:55");
    ResetFormatSettings();
    // The test run's own locale is C.UTF-8.
    EXPECT_TRUE(TryStrToFloat("12.5", value));
    EXPECT_EQ(FormatFixed(12.25, 1), "12.2");
    EXPECT_EQ(FormatDateTime("dd/mm", At(2018, 10, 4, 10, 55, 0)), "04/10");
}

TEST(TryStrToInt, SignsBlanksAndRange) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } rows[] = {
        {"  12", true, 12},       {"-7", true, -7},
        {"+7", true, 7},          {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0}, {"99999999999999999999", false, 0},
        {"12 ", false, 0},        {"1.0", false, 0},
        {"", false, 0},           {"-", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        int value = 42;
        EXPECT_EQ(TryStrToInt(row.text, value), row.ok);
        EXPECT_EQ(value, row.ok ? row.value : 42);
    }
}

// The test main runs every test under LC_ALL=C.UTF-8; this puts that back.
void RestoreTestLocaleEnvironment() {
    setenv("LC_ALL", "C.UTF-8", 1);
    for (const char* name : {"LOCPATH", "LANG", "LC_TIME", "LC_NUMERIC"})
        unsetenv(name);
}

TEST(LocaleFormatSettings, ReadsTheEnvironmentsLocaleWithoutSwitchingTheProcess) {
    const std::string processLocale = std::setlocale(LC_ALL, nullptr);

    const TFormatSettings c = LocaleFormatSettings();
    EXPECT_EQ(c.DateSeparator, u'/');
    EXPECT_EQ(c.TimeSeparator, u':');
    EXPECT_EQ(c.DecimalSeparator, u'.');
    EXPECT_EQ(c.ShortMonthNames, TFormatSettings().ShortMonthNames);

    setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    const TFormatSettings unknown = LocaleFormatSettings();
    RestoreTestLocaleEnvironment();
    EXPECT_EQ(unknown.DecimalSeparator, u'.');
    EXPECT_EQ(unknown.ShortMonthNames, c.ShortMonthNames);

    // A German locale, built into the test's own folder.
    const QString localedef = QStandardPaths::findExecutable("localedef");
    if (localedef.isEmpty())
        GTEST_SKIP() << "localedef is not installed";
    const QString dir = testdirs::Root() + "/locales";
    QDir().mkpath(dir);
    QProcess build;
    build.start(localedef, {"-i", "de_DE", "-f", "UTF-8", dir + "/de_DE.UTF-8"});
    ASSERT_TRUE(build.waitForFinished(120000));
    if (build.exitCode() != 0 && build.exitCode() != 1) // 1: built, with warnings
        GTEST_SKIP() << "cannot build de_DE: " << build.readAllStandardError().toStdString();

    setenv("LOCPATH", QFile::encodeName(dir).constData(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const TFormatSettings de = LocaleFormatSettings();
    EXPECT_EQ(de.DateSeparator, u'.');
    EXPECT_EQ(de.TimeSeparator, u':');
    EXPECT_EQ(de.DecimalSeparator, u',');
    EXPECT_EQ(de.ShortMonthNames.value(2), QString::fromUtf8("Mär"));
    EXPECT_EQ(de.ShortMonthNames.value(9), "Okt");

    // Each category on its own: German numbers, C dates.
    unsetenv("LC_ALL");
    setenv("LANG", "C.UTF-8", 1);
    setenv("LC_TIME", "C.UTF-8", 1);
    setenv("LC_NUMERIC", "de_DE.UTF-8", 1);
    const TFormatSettings mixed = LocaleFormatSettings();
    RestoreTestLocaleEnvironment();
    EXPECT_EQ(mixed.DateSeparator, u'/');
    EXPECT_EQ(mixed.ShortMonthNames.value(2), "Mar");
    EXPECT_EQ(mixed.DecimalSeparator, u',');

    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), processLocale);
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

} // namespace
