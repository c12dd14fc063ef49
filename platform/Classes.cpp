#include "Classes.h"

#include <algorithm>

std::int64_t TStream::Size() {
    const std::int64_t position = Seek(std::int64_t{0}, soCurrent);
    const std::int64_t size = Seek(std::int64_t{0}, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::SetSize(std::int32_t newSize) {
    SetSize(static_cast<std::int64_t>(newSize));
}

void TStream::SetSize(std::int64_t) {}

std::int32_t TStream::Seek(std::int32_t offset, std::uint16_t origin) {
    return static_cast<std::int32_t>(
        Seek(static_cast<std::int64_t>(offset), static_cast<TSeekOrigin>(origin)));
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(QStringLiteral("Stream read error"));
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(QStringLiteral("Stream write error"));
}

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
    if (FOwner)
        FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        FComponents.pop_back();
        last->FOwner = nullptr;
        delete last;
    }
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::Loaded() {
    SetState(csLoading, false);
}

void TComponent::SetState(unsigned flag, bool on) {
    FComponentState = on ? (FComponentState | flag) : (FComponentState & ~flag);
}

void TComponent::RemoveComponent(TComponent* component) {
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component),
                      FComponents.end());
}

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

namespace {

bool IsCommaTextBlank(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

QStringList SplitCommaText(const QString& text) {
    // The rule was made for NUL-terminated text, so nothing after a NUL is part of it.
    const qsizetype nul = text.indexOf(QChar(0));
    const QStringView s = QStringView(text).left(nul < 0 ? text.size() : nul);
    const qsizetype n = s.size();
    QStringList fields;
    qsizetype i = 0;
    while (i < n && IsCommaTextBlank(s[i]))
        ++i;
    while (i < n) {
        QString field;
        if (s[i] == u'"') {
            ++i;
            while (i < n) {
                if (s[i] == u'"') {
                    if (i + 1 < n && s[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += s[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && s[i].unicode() > 32 && s[i] != u',')
                ++i;
            field = s.mid(start, i - start).toString();
        }
        fields.append(field);
        while (i < n && IsCommaTextBlank(s[i]))
            ++i;
        if (i < n && s[i] == u',') {
            if (i + 1 == n)
                fields.append(QString());
            ++i;
            while (i < n && IsCommaTextBlank(s[i]))
                ++i;
        }
    }
    return fields;
}
