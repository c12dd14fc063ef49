#include "TestDirs.h"
#include "findfile.h"
#include "winerror.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <tuple>

namespace {

void Touch(const QString& name) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
}

// Names found by the run-time library's search, sorted so the file system's order does not
// matter; "-" when the search found nothing.
QStringList Found(const QString& mask, int attr = faAnyFile) {
    TSearchRec rec;
    QStringList names;
    for (int result = FindFirst(mask, attr, rec); result == 0; result = FindNext(rec))
        names << rec.Name;
    names.sort();
    return names.isEmpty() ? QStringList{"-"} : names;
}

TEST(FindFile, MasksMatchTheLastComponentWithoutRegardToCase) {
    QDir().mkdir("logs");
    for (const char* name :
         {"snr-log-2017-10-05.log", "SNR-LOG-2017-10-06.LOG", ".hidden.log", "other.txt",
          "snr-log-1.log.bak", "logs/snr-log-2017-10-07.log", "a:b.log"})
        Touch(name);
    QDir().mkdir("snr-log-dir.log");

    struct Row {
        QString mask;
        int attr;
        QStringList expected;
    } const rows[] = {
        {"snr-log-*.log",
         faAnyFile,
         {"SNR-LOG-2017-10-06.LOG", "snr-log-2017-10-05.log", "snr-log-dir.log"}},
        {"snr-log-*.log", 0, {"SNR-LOG-2017-10-06.LOG", "snr-log-2017-10-05.log"}},
        {"*.log",
         faAnyFile,
         {".hidden.log", "SNR-LOG-2017-10-06.LOG", "a:b.log", "snr-log-2017-10-05.log",
          "snr-log-dir.log"}},
        {"*.log",
         faHidden,
         {".hidden.log", "SNR-LOG-2017-10-06.LOG", "a:b.log", "snr-log-2017-10-05.log"}},
        {"snr-log-2017-10-0?.log", faAnyFile, {"SNR-LOG-2017-10-06.LOG", "snr-log-2017-10-05.log"}},
        {"*-1.*", faAnyFile, {"snr-log-1.log.bak"}},
        {"Other.TXT", faAnyFile, {"other.txt"}},
        {"a:*", faAnyFile, {"a:b.log"}},
        {"logs\\*.log", faAnyFile, {"snr-log-2017-10-07.log"}},
        {"logs/snr-log-*", faAnyFile, {"snr-log-2017-10-07.log"}},
        {QDir::currentPath() + "/logs/*", faAnyFile, {"snr-log-2017-10-07.log"}},
        {"l?gs", faAnyFile, {"logs"}},
        {"l?gs", faReadOnly, {"-"}},
        {"missing/*.log", faAnyFile, {"-"}},
        {"logs\\", faAnyFile, {"-"}},
        {"", faAnyFile, {"-"}},
        {".*", faAnyFile, {".hidden.log"}},
        {"..", faAnyFile, {"-"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Found(row.mask, row.attr), row.expected) << row.mask.toStdString();
}

TEST(FindFile, WindowsShapedSearchAndItsErrorCodes) {
    Touch("exact.log");
    Touch("EXACT.LOG");
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW("EXACT.LOG", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    // Of two spellings the exact one is meant, and a plain name finds one entry.
    EXPECT_EQ(data.cFileName, "EXACT.LOG");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    EXPECT_FALSE(FindClose(search));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindNextFileW(search, &data));

    EXPECT_EQ(FindFirstFileW("none*.log", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW("none/x.log", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    ASSERT_EQ(::chmod("exact.log", 0444), 0);
    const HANDLE readOnly = FindFirstFileW("exact.log", &data);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
    FindClose(readOnly);
}

TEST(FindFile, LastWriteTimeIsUtcTo100Nanoseconds) {
    Touch("stamped.log");
    // 2017-10-05 10:50:05.123456789 UTC
    const timespec times[2] = {{1507200605, 0}, {1507200605, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, "stamped.log", times, 0), 0);
    WIN32_FIND_DATAW data;
    FindClose(FindFirstFileW("stamped.log", &data));
    const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
    EXPECT_EQ(ticks, (1507200605ull + 11644473600ull) * 10000000ull + 1234567ull);
}

TEST(FindFile, FileTimeToSystemTimeFields) {
    struct Row {
        std::uint64_t ticks;
        BOOL ok;
        SYSTEMTIME expected; // year, month, day of week, day, hour, minute, second, ms
    } const rows[] = {
        {0, 1, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {(1507200605ull + 11644473600ull) * 10000000ull + 1239999,
         1,
         {2017, 10, 4, 5, 10, 50, 5, 123}},
        {116444736000000000ull - 1, 1, {1969, 12, 3, 31, 23, 59, 59, 999}},
        {(951782400ull + 11644473600ull) * 10000000ull, 1, {2000, 2, 2, 29, 0, 0, 0, 0}},
        {0x7FFFFFFFFFFFFFFFull, 1, {30828, 9, 4, 14, 2, 48, 5, 477}},
        {0x8000000000000000ull, 0, {}},
    };
    for (const Row& row : rows) {
        const FILETIME ft{static_cast<DWORD>(row.ticks), static_cast<DWORD>(row.ticks >> 32)};
        SYSTEMTIME st{};
        ASSERT_EQ(FileTimeToSystemTime(&ft, &st), row.ok) << row.ticks;
        if (!row.ok)
            continue;
        const SYSTEMTIME& e = row.expected;
        EXPECT_EQ(std::tie(st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute,
                           st.wSecond, st.wMilliseconds),
                  std::tie(e.wYear, e.wMonth, e.wDayOfWeek, e.wDay, e.wHour, e.wMinute, e.wSecond,
                           e.wMilliseconds))
            << row.ticks;
    }
}

} // namespace
