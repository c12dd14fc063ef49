#include "StringList.h"

#include "textread.h"

#include <QLocale>

#include <algorithm>

TStringList::TStringList() : FCollator(QLocale::system()) {
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

const QString& TStringList::Strings(int index) const {
    if (index < 0 || index >= Count())
        throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems.at(index);
}

void TStringList::SetSorted(bool sorted) {
    if (sorted && !FSorted)
        std::stable_sort(FItems.begin(), FItems.end(), [this](const QString& a, const QString& b) {
            return CompareStrings(a, b) < 0;
        });
    FSorted = sorted;
}

int TStringList::CompareStrings(const QString& a, const QString& b) const {
    const int order = FCollator.compare(a, b);
    if (order != 0)
        return order;
    return QString::compare(a, b, Qt::CaseSensitive);
}

bool TStringList::Find(const QString& s, int& index) const {
    // Binary search for the first string not below s.
    int low = 0;
    int high = Count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (CompareStrings(FItems.at(middle), s) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    index = low;
    return low < Count() && CompareStrings(FItems.at(low), s) == 0;
}

int TStringList::Add(const QString& s) {
    if (!FSorted) {
        FItems.append(s);
        return Count() - 1;
    }
    int index = 0;
    if (Find(s, index)) {
        if (Duplicates == dupIgnore)
            return index;
        if (Duplicates == dupError)
            throw EStringListError(QStringLiteral("String list does not allow duplicates"));
        while (index < Count() && CompareStrings(FItems.at(index), s) == 0)
            ++index;
    }
    FItems.insert(index, s);
    return index;
}

void TStringList::Delete(int index) {
    Strings(index); // raises for an index out of bounds
    FItems.removeAt(index);
}

int TStringList::IndexOf(const QString& s) const {
    if (FSorted) {
        int index = 0;
        return Find(s, index) ? index : -1;
    }
    // Equal under CompareStrings means the same code units.
    return static_cast<int>(FItems.indexOf(s));
}

void TStringList::LoadFromFile(const QString& fileName) {
    Clear();
    const QStringList lines = LoadTextFileLines(fileName);
    for (const QString& line : lines)
        Add(line);
}
