// The run-time library's string list, for where order and duplicates matter: kept in the order
// strings are added, or sorted with duplicates ignored, accepted or refused.
#pragma once

#include "SysUtils.h"

#include <QCollator>
#include <QString>
#include <QStringList>

enum TDuplicates { dupIgnore, dupAccept, dupError };

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

class TStringList {
public:
    // The comparison follows the user's locale (its collation order, case ignored), as the
    // environment gives it when the list is made.
    TStringList();

    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EStringListError "List index out of bounds (n)".
    const QString& Strings(int index) const;
    const QString& operator[](int index) const { return Strings(index); }
    const QStringList& ToStringList() const { return FItems; }
    QStringList::const_iterator begin() const { return FItems.cbegin(); }
    QStringList::const_iterator end() const { return FItems.cend(); }

    // A sorted list keeps its strings in ascending order of CompareStrings and puts each new
    // one in its place. Turning sorting on sorts the list (equal strings keep their order).
    bool Sorted() const { return FSorted; }
    void SetSorted(bool sorted);
    // What Add does with a string that is already in a sorted list (an unsorted list takes
    // every string): dupIgnore leaves it out, dupAccept adds it after the ones there, dupError
    // raises EStringListError "String list does not allow duplicates".
    TDuplicates Duplicates = dupIgnore;

    // Adds the string (at its place when sorted) and answers its index; for an ignored
    // duplicate, the index of the one already there.
    int Add(const QString& s);
    void Delete(int index);
    void Clear() { FItems.clear(); }
    // Index of the string (the first equal one), or -1.
    int IndexOf(const QString& s) const;
    // Sorted lists: true when the string is there; `index` is its place, or where it would go.
    bool Find(const QString& s, int& index) const;

    // Replaces the content with the lines of a text file (LoadTextFileLines; added one by one,
    // so a sorted list sorts them). Raises as LoadTextFileLines; the list is then left empty.
    void LoadFromFile(const QString& fileName);

    // The order of the list: the locale's collation with case ignored. Strings it finds equal
    // but that differ (in case, say) are ordered by their UTF-16 code units, so only strings
    // that are exactly the same are duplicates: on a file system that tells case apart,
    // "a.log" and "A.LOG" are two files and both must be listed.
    int CompareStrings(const QString& a, const QString& b) const;

private:
    QStringList FItems;
    bool FSorted = false;
    QCollator FCollator;
};
