// Run-time library classes shared by every layer: stream errors, the stream base, the
// component base with its owner and states, and the text-to-lines rule of string lists.
#pragma once

#include "SysUtils.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <vector>

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// Raised by the read-exactly operation when fewer bytes came than asked for.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum TSeekOrigin : std::uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// Byte stream base. Read and Write answer the count moved (0 on failure, never negative).
class TStream {
public:
    virtual ~TStream() = default;

    virtual std::int64_t Size();
    virtual void SetSize(std::int32_t newSize);
    virtual void SetSize(std::int64_t newSize);
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    // The 32-bit seek widens its offset and answers the low 32 bits of the 64-bit seek.
    virtual std::int32_t Seek(std::int32_t offset, std::uint16_t origin);
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(std::int64_t{0}, soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soBeginning); }

    // Read exactly count bytes, or raise EReadError "Stream read error". A count of 0 does nothing.
    void ReadBuffer(void* buffer, std::int32_t count);
    // Write exactly count bytes, or raise EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, std::int32_t count);
};

enum TComponentStateFlag : unsigned { csLoading = 1u << 0, csDesigning = 1u << 1 };

// Component base: a name, an owner that frees what it owns (last made, first freed), and the
// loading and designing states. Loaded() is the after-load notification a form loader gives.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(index); }

    virtual QString Name() const { return FName; }
    virtual void SetName(const QString& name) { FName = name; }

    unsigned ComponentState() const { return FComponentState; }
    bool IsLoading() const { return (FComponentState & csLoading) != 0; }
    bool IsDesigning() const { return (FComponentState & csDesigning) != 0; }
    void SetLoading(bool on) { SetState(csLoading, on); }
    // Only form designers and tests set this.
    void SetDesigning(bool on) { SetState(csDesigning, on); }

    // After-load notification: clears the loading state. Overrides run the inherited step first.
    virtual void Loaded();

private:
    void SetState(unsigned flag, bool on);
    void RemoveComponent(TComponent* component);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    QString FName;
    unsigned FComponentState = 0;
};

// The string list's text rule: lines end at CR, LF or CR LF; a last line without a line end
// still counts; an empty text has no lines.
QStringList SplitTextLines(const QString& text);

// The same lines as views into `text`, without copies: `visit(line)` once per line, in order.
template <class Visit> void ForEachTextLine(QStringView text, Visit&& visit) {
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            visit(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        visit(text.mid(start));
}

// The string list's comma-text rule, used to split a line into fields: commas separate fields;
// blanks and control characters (codes 1 to 32) also end a field and are skipped before a field
// and around a comma; a field that begins with a double quote runs to the matching quote, a
// doubled quote inside standing for one (an unmatched quote runs to the end); a comma that is the
// very last character adds an empty last field. A NUL character ends the text.
QStringList SplitCommaText(const QString& text);

// The same fields as views into `text`, for readers that want no copies: `visit(field, quoted)`
// is called once per field, in order. A quoted field comes without its quotes and with its
// doubled quotes still doubled (`quoted` true); its text is that with each pair made one.
template <class Visit> void ForEachCommaTextField(QStringView text, Visit&& visit) {
    // The rule was made for NUL-terminated text, so nothing after a NUL is part of it.
    const qsizetype nul = text.indexOf(QChar(0));
    const QStringView s = text.left(nul < 0 ? text.size() : nul);
    const qsizetype n = s.size();
    const auto blank = [](QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; };
    qsizetype i = 0;
    while (i < n && blank(s[i]))
        ++i;
    while (i < n) {
        if (s[i] == u'"') {
            const qsizetype start = ++i;
            // Runs to the quote that is not doubled, or to the end when there is none.
            while (i < n && !(s[i] == u'"' && !(i + 1 < n && s[i + 1] == u'"')))
                i += s[i] == u'"' ? 2 : 1;
            visit(s.mid(start, i - start), true);
            if (i < n)
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && s[i].unicode() > 32 && s[i] != u',')
                ++i;
            visit(s.mid(start, i - start), false);
        }
        while (i < n && blank(s[i]))
            ++i;
        if (i < n && s[i] == u',') {
            if (i + 1 == n)
                visit(QStringView(), false);
            ++i;
            while (i < n && blank(s[i]))
                ++i;
        }
    }
}
