#include "findfile.h"
#include "winerror.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <utility>

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
         faHidden,
         {".hidden.log", "SNR-LOG-2017-10-06.LOG", "a:b.log", "snr-log-2017-10-05.log"}},
        {"snr-log-2017-10-0?.log", faAnyFile, {"SNR-LOG-2017-10-06.LOG", "snr-log-2017-10-05.log"}},
        {"*-1.*", faAnyFile, {"snr-log-1.log.bak"}},
        {"Other.TXT", faAnyFile, {"other.txt"}},
        {"a:*", faAnyFile, {"a:b.log"}},
        {"logs\\*.log", faAnyFile, {"snr-log-2017-10-07.log"}},
        {QDir::currentPath() + "/logs/*", faAnyFile, {"snr-log-2017-10-07.log"}},
        {"l?gs", faAnyFile, {"logs"}},
        {"missing/*.log", faAnyFile, {"-"}},
        {"", faAnyFile, {"-"}},
        {".*", faAnyFile, {".hidden.log"}},
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
    EXPECT_FALSE(FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));

    EXPECT_EQ(FindFirstFileW("none*.log", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileW("none/x.log", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FindFile, FileTimeToSystemTimeFields) {
    const std::pair<std::uint64_t, const char*> rows[] = {
        {0, "1601-01-01 (1) 00:00:00.000"},
        {(1507200605ull + 11644473600ull) * 10000000ull + 1239999, "2017-10-05 (4) 10:50:05.123"},
        {116444736000000000ull - 1, "1969-12-31 (3) 23:59:59.999"},
        {0x7FFFFFFFFFFFFFFFull, "30828-09-14 (4) 02:48:05.477"},
        {0x8000000000000000ull, "invalid"},
    };
    for (const auto& [ticks, expected] : rows) {
        const FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SYSTEMTIME t{};
        const QString fields =
            FileTimeToSystemTime(&ft, &t)
                ? QString::asprintf("%04d-%02d-%02d (%d) %02d:%02d:%02d.%03d", t.wYear, t.wMonth,
                                    t.wDay, t.wDayOfWeek, t.wHour, t.wMinute, t.wSecond,
                                    t.wMilliseconds)
                : "invalid";
        EXPECT_EQ(fields, expected) << ticks;
    }
}

} // namespace
