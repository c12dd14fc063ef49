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
    ForEachTextLine(text, [&](QStringView line) { lines.append(line.toString()); });
    return lines;
}

QStringList SplitCommaText(const QString& text) {
    QStringList fields;
    ForEachCommaTextField(text, [&](QStringView field, bool quoted) {
        fields.append(quoted
                          ? field.toString().replace(QStringLiteral("\"\""), QStringLiteral("\""))
                          : field.toString());
    });
    return fields;
}
