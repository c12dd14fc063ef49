#include "Controls.h"

#include "Forms.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

// The GUI thread alone makes components, so a plain counter orders them.
std::uint64_t gCreationCounter = 0;

const char* const kAnchorsProperty = "Anchors";

struct AnchorName {
    const char* name;
    unsigned kind;
};
constexpr AnchorName kAnchorNames[] = {
    {"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight}, {"akBottom", akBottom}};

} // namespace

TWidgetComponent::TWidgetComponent(QWidget* self, QWidget* parent)
    : FSelf(self), FCreationOrder(++gCreationCounter) {
    for (QWidget* w = parent; w; w = w->parentWidget()) {
        if (const auto* component = dynamic_cast<const TComponent*>(w)) {
            if (component->IsLoading())
                SetLoading(true);
            break;
        }
    }
}

QString TWidgetComponent::Name() const {
    return FSelf->objectName();
}

void TWidgetComponent::SetName(const QString& name) {
    FSelf->setObjectName(name);
}

unsigned TWidgetComponent::Anchors() const {
    return WidgetAnchors(FSelf);
}

void TWidgetComponent::SetAnchors(unsigned anchors) {
    QStringList names;
    for (const AnchorName& a : kAnchorNames)
        if (anchors & a.kind)
            names.append(QString::fromLatin1(a.name));
    FSelf->setProperty(kAnchorsProperty, names.join(u','));
}

QString TWidgetComponent::Hint() const {
    return FSelf->toolTip();
}

void TWidgetComponent::SetHint(const QString& hint) {
    FSelf->setToolTip(hint);
}

unsigned WidgetAnchors(const QWidget* widget) {
    const QVariant value = widget->property(kAnchorsProperty);
    if (!value.isValid())
        return akLeft | akTop;
    unsigned anchors = 0;
    const QStringList names = value.toString().split(u',', Qt::SkipEmptyParts);
    for (const QString& raw : names) {
        const QString name = raw.trimmed();
        for (const AnchorName& a : kAnchorNames)
            if (name == QLatin1String(a.name))
                anchors |= a.kind;
    }
    return anchors;
}

namespace ui {

void FinishLoading(QWidget* form) {
    struct Entry {
        std::uint64_t order;
        QPointer<QObject> object;
    };
    std::vector<Entry> loading;
    const QList<QObject*> descendants = form->findChildren<QObject*>();
    for (QObject* object : descendants) {
        if (auto* component = dynamic_cast<TWidgetComponent*>(object))
            if (component->IsLoading())
                loading.push_back({component->CreationOrder(), object});
    }
    std::sort(loading.begin(), loading.end(),
              [](const Entry& a, const Entry& b) { return a.order < b.order; });

    if (auto* root = dynamic_cast<TComponent*>(form); root && root->IsLoading())
        root->Loaded();
    // A step may free other components; the guarded pointers skip those.
    for (const Entry& entry : loading) {
        if (!entry.object)
            continue;
        auto* component = dynamic_cast<TWidgetComponent*>(entry.object.data());
        if (component && component->IsLoading())
            component->Loaded();
    }
}

void HandleCurrentException() noexcept {
    if (Application) {
        Application->HandleException();
        return;
    }
    // No application object (a bare test): say it, and go on as the report would.
    try {
        throw;
    } catch (const Exception& e) {
        qWarning("Unhandled exception: %s", qUtf8Printable(e.Message()));
    } catch (const std::exception& e) {
        qWarning("Unhandled exception: %s", e.what());
    } catch (...) {
        qWarning("Unhandled exception of unknown type");
    }
}

} // namespace ui
