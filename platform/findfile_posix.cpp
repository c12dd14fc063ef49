#include "findfile.h"

#include "winerror.h"

#include <QFile>

#include <chrono>
#include <dirent.h>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {

// An open search: every entry it found, taken at its start, and the next one to give.
struct TSearchState {
    std::vector<WIN32_FIND_DATAW> Entries;
    std::size_t Next = 0;
};

std::mutex gSearchMutex;
std::map<HANDLE, TSearchState> gSearches;
// Far above any descriptor number, so a search handle handed to a descriptor call by mistake
// fails instead of closing some unrelated file.
HANDLE gNextSearchHandle = HANDLE{1} << 40;

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t EpochOffsetSeconds = 11644473600;

bool IsPathSeparator(QChar c) {
    return c == u'/' || c == u'\\';
}

FILETIME FileTimeOf(const timespec& t) {
    std::int64_t ticks =
        (static_cast<std::int64_t>(t.tv_sec) + EpochOffsetSeconds) * 10000000 + t.tv_nsec / 100;
    if (ticks < 0)
        ticks = 0;
    const auto u = static_cast<std::uint64_t>(ticks);
    return FILETIME{static_cast<DWORD>(u & 0xFFFFFFFFu), static_cast<DWORD>(u >> 32)};
}

bool HasWildcards(QStringView pattern) {
    return pattern.contains(u'*') || pattern.contains(u'?');
}

// Windows-style matching, without regard to case: "*" any run, "?" exactly one character.
// Greedy with one step back to the last "*", which is enough for these two wildcards.
bool MatchesPattern(QStringView name, QStringView pattern) {
    qsizetype n = 0, p = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' ||
             (pattern[p] != u'*' && pattern[p].toCaseFolded() == name[n].toCaseFolded()))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// The entry's record, or false when it vanished before it could be looked at.
bool DescribeEntry(const QByteArray& path, const QString& name, WIN32_FIND_DATAW& data) {
    struct stat st {};
    // A link is described by what it points to, as the programs mean the file; a dangling
    // link is still an entry of the directory.
    if (::stat(path.constData(), &st) != 0 && ::lstat(path.constData(), &st) != 0)
        return false;
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (name.startsWith(u'.'))
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    data.dwFileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    data.ftLastAccessTime = FileTimeOf(st.st_atim);
    data.ftLastWriteTime = FileTimeOf(st.st_mtim);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    data.cFileName = name;
    return true;
}

struct TDirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Every entry of `directory` (given with its separator, or empty for the current directory)
// that matches `pattern`. Sets `directoryFound` to whether the directory could be read.
std::vector<WIN32_FIND_DATAW> Search(const QString& directory, const QString& pattern,
                                     bool& directoryFound) {
    std::vector<WIN32_FIND_DATAW> found;
    QString posixDirectory = directory;
    posixDirectory.replace(u'\\', u'/');
    const QByteArray dirBytes = QFile::encodeName(posixDirectory);
    directoryFound = false;
    if (pattern.isEmpty() || pattern == u"." || pattern == u"..") {
        struct stat st {};
        directoryFound = dirBytes.isEmpty() || ::stat(dirBytes.constData(), &st) == 0;
        return found;
    }

    // A plain name is looked up first as it is spelt: a file system that tells case apart may
    // hold the same name in several spellings, and the exact one is the one meant.
    const bool plainName = !HasWildcards(pattern);
    if (plainName) {
        WIN32_FIND_DATAW data;
        if (DescribeEntry(dirBytes + QFile::encodeName(pattern), pattern, data)) {
            directoryFound = true;
            found.push_back(std::move(data));
            return found;
        }
    }

    std::unique_ptr<DIR, TDirCloser> dir(
        ::opendir(dirBytes.isEmpty() ? "." : dirBytes.constData()));
    if (!dir)
        return found;
    directoryFound = true;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray rawName(entry->d_name);
        if (rawName == "." || rawName == "..")
            continue;
        const QString name = QFile::decodeName(rawName);
        if (!MatchesPattern(name, pattern))
            continue;
        WIN32_FIND_DATAW data;
        if (!DescribeEntry(dirBytes + rawName, name, data))
            continue;
        found.push_back(std::move(data));
        if (plainName)
            break;
    }
    return found;
}

} // namespace

QString ExtractFilePath(const QString& path) {
    for (qsizetype i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path.at(i - 1)))
            return path.left(i);
    }
    return QString();
}

HANDLE FindFirstFileW(const QString& fileName, WIN32_FIND_DATAW* findFileData) {
    const QString directory = ExtractFilePath(fileName);
    bool directoryFound = false;
    std::vector<WIN32_FIND_DATAW> entries =
        Search(directory, fileName.mid(directory.size()), directoryFound);
    if (entries.empty()) {
        SetLastError(directoryFound ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findFileData = entries.front();
    std::lock_guard lock(gSearchMutex);
    const HANDLE handle = gNextSearchHandle++;
    gSearches.emplace(handle, TSearchState{std::move(entries), 1});
    return handle;
}

BOOL FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findFileData) {
    std::lock_guard lock(gSearchMutex);
    const auto it = gSearches.find(findFile);
    if (it == gSearches.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    TSearchState& search = it->second;
    if (search.Next >= search.Entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return 0;
    }
    *findFileData = search.Entries[search.Next++];
    return 1;
}

BOOL FindClose(HANDLE findFile) {
    std::lock_guard lock(gSearchMutex);
    if (gSearches.erase(findFile) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    if (ticks >= 0x8000000000000000ull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    using namespace std::chrono;
    const std::uint64_t msTotal = ticks / 10000;
    const auto days1601 = static_cast<std::int64_t>(msTotal / 86400000);
    std::uint64_t msOfDay = msTotal % 86400000;
    // 1601-01-01 lies 134774 days before the Unix epoch that sys_days counts from.
    const sys_days day{days{days1601 - 134774}};
    const year_month_day ymd{day};
    systemTime->wYear = static_cast<WORD>(static_cast<int>(ymd.year()));
    systemTime->wMonth = static_cast<WORD>(static_cast<unsigned>(ymd.month()));
    systemTime->wDay = static_cast<WORD>(static_cast<unsigned>(ymd.day()));
    systemTime->wDayOfWeek = static_cast<WORD>(weekday{day}.c_encoding());
    systemTime->wHour = static_cast<WORD>(msOfDay / 3600000);
    msOfDay %= 3600000;
    systemTime->wMinute = static_cast<WORD>(msOfDay / 60000);
    msOfDay %= 60000;
    systemTime->wSecond = static_cast<WORD>(msOfDay / 1000);
    systemTime->wMilliseconds = static_cast<WORD>(msOfDay % 1000);
    return 1;
}
