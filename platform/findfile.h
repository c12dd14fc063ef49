// File search by mask and file times, shaped like the Windows services (FindFirstFileW,
// FindNextFileW, FindClose, FileTimeToSystemTime), and the run-time library's search over them
// that also filters by attributes (FindFirst, FindNext, FindClose with a TSearchRec).
//
// A mask is a directory part followed by a name pattern:
// - The directory part is everything up to and including the last path separator (see
//   ExtractFilePath); without one the search runs in the current directory. On POSIX the
//   separators are "/" and also "\", so a mask written the Windows way (logs\snr-log-*.log)
//   works; ":" is an ordinary character in POSIX names, as there are no drives.
// - The pattern may hold the wildcards "*" (any run of characters, none included) and "?" (one
//   character); every other character stands for itself. Wildcards in the directory part are
//   not expanded. Names are matched without regard to case, as on Windows; a pattern without
//   wildcards finds one entry, the one of exactly that name when there is one.
// - Every entry is found whatever its attributes: hidden entries (POSIX names that begin with
//   ".") and directories too. "." and ".." are never found. A missing or unreadable directory
//   finds nothing.
// Entries are found in the order the file system lists them.
#pragma once

#include "winbase.h"

#include <QString>

#include <cstdint>

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01; // POSIX: the owner may not write it
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;   // POSIX: the name begins with "."
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80; // set alone when no other attribute applies

// The code FindNextFileW leaves for GetLastError when the search has no more entries.
constexpr DWORD ERROR_NO_MORE_FILES = 18;

// A point in time in 100-nanosecond intervals since 1601-01-01 00:00:00 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// One entry found. Times are UTC. POSIX keeps no creation time, so the record has none.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes = 0;
    FILETIME ftLastAccessTime{};
    FILETIME ftLastWriteTime{};
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    QString cFileName; // the entry's name, without the directory part
};

// Starts a search and gives its first entry. Answers INVALID_HANDLE_VALUE when nothing matches
// (GetLastError: ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND for a missing directory). A
// valid handle must be given back with FindClose. A symbolic link reports what it points to,
// or itself when that is gone.
HANDLE FindFirstFileW(const QString& fileName, WIN32_FIND_DATAW* findFileData);
// The next entry; FALSE with ERROR_NO_MORE_FILES at the end, ERROR_INVALID_HANDLE for a handle
// that is not an open search.
BOOL FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findFileData);
// Ends a search; FALSE with ERROR_INVALID_HANDLE for a handle that is not an open search.
BOOL FindClose(HANDLE findFile);

// Calendar fields of a file time, milliseconds truncated, in the same (UTC) time base. FALSE
// (ERROR_INVALID_PARAMETER) for a time at or above 0x8000000000000000.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);

// The directory part of a path or mask: up to and including its last path separator ("/" or
// "\" on POSIX; "\", "/" or the drive's ":" on Windows); empty when it has none.
QString ExtractFilePath(const QString& path);

// --- The run-time library's search -----------------------------------------------------------

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faNormal = 0x80;
constexpr int faAnyFile = 0x1FF;

// One entry of a search. Closes its search, if still open, when it is destroyed.
struct TSearchRec {
    TSearchRec() = default;
    ~TSearchRec();
    TSearchRec(const TSearchRec&) = delete;
    TSearchRec& operator=(const TSearchRec&) = delete;

    std::int64_t Size = 0;
    int Attr = 0;
    QString Name;
    int ExcludeAttr = 0;
    HANDLE FindHandle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW FindData;
};

// Starts a search for entries that match `path` (a mask as above) and whose hidden, system and
// directory attributes are all allowed by `attr` (faAnyFile allows every entry). Answers 0 and
// fills `searchRec` with the first entry, or the system's error code when none matches. A search
// started with 0 must be ended with FindClose (or by destroying the record).
int FindFirst(const QString& path, int attr, TSearchRec& searchRec);
// The next allowed entry: 0, or the error code (ERROR_NO_MORE_FILES at the end).
int FindNext(TSearchRec& searchRec);
// Ends the search; a record whose search is already closed is left as it is.
void FindClose(TSearchRec& searchRec);
