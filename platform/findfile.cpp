#include "findfile.h"

namespace {

// Only these attributes can keep an entry out: a search for plain files must not list hidden
// ones, system ones or directories unless it asks for them.
constexpr int FilteredAttributes = faHidden | faSysFile | faVolumeID | faDirectory;

// Skips entries with an attribute the search does not allow. Answers 0 with `rec` filled, or
// the error code that ended the search.
int TakeAllowed(TSearchRec& rec, BOOL found) {
    for (;;) {
        if (!found)
            return static_cast<int>(GetLastError());
        const DWORD attributes = rec.FindData.dwFileAttributes;
        if ((static_cast<int>(attributes) & rec.ExcludeAttr) == 0) {
            const std::uint64_t size =
                (static_cast<std::uint64_t>(rec.FindData.nFileSizeHigh) << 32) |
                rec.FindData.nFileSizeLow;
            rec.Size = static_cast<std::int64_t>(size);
            rec.Attr = static_cast<int>(attributes);
            rec.Name = rec.FindData.cFileName;
            return 0;
        }
        found = FindNextFileW(rec.FindHandle, &rec.FindData);
    }
}

} // namespace

TSearchRec::~TSearchRec() {
    FindClose(*this);
}

int FindFirst(const QString& path, int attr, TSearchRec& searchRec) {
    FindClose(searchRec);
    searchRec.ExcludeAttr = ~attr & FilteredAttributes;
    searchRec.FindHandle = FindFirstFileW(path, &searchRec.FindData);
    if (searchRec.FindHandle == INVALID_HANDLE_VALUE)
        return static_cast<int>(GetLastError());
    const int result = TakeAllowed(searchRec, 1);
    if (result != 0)
        FindClose(searchRec);
    return result;
}

int FindNext(TSearchRec& searchRec) {
    if (searchRec.FindHandle == INVALID_HANDLE_VALUE)
        return static_cast<int>(ERROR_NO_MORE_FILES);
    return TakeAllowed(searchRec, FindNextFileW(searchRec.FindHandle, &searchRec.FindData));
}

void FindClose(TSearchRec& searchRec) {
    if (searchRec.FindHandle == INVALID_HANDLE_VALUE)
        return;
    FindClose(searchRec.FindHandle);
    searchRec.FindHandle = INVALID_HANDLE_VALUE;
}
