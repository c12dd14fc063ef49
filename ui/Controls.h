// Component base of the class library's widgets, the form loader's after-load step, and the
// guard that every event handler runs inside.
//
// A widget component is a Qt widget and a TComponent at once. Its Name is the Qt object name;
// its owner is its Qt parent, which frees it (TComponent::Owner() stays null). A component
// made while its form is being loaded (that is, by the form's setupUi) is in the loading state
// until ui::FinishLoading gives it its after-load step; a component made in code afterwards
// gets neither the state nor the step.
#pragma once

#include "Classes.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QWidget;

namespace ui {
Q_NAMESPACE

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
Q_ENUM_NS(TAlignment)
enum TDateTimeKind { dtkDate, dtkTime };
Q_ENUM_NS(TDateTimeKind)
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)
enum TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };
Q_ENUM_NS(TWindowState)
enum TComboBoxStyle { csDropDown, csDropDownList };
Q_ENUM_NS(TComboBoxStyle)
enum TUDBtnType { btNext, btPrev };
Q_ENUM_NS(TUDBtnType)

// Anchors of a control to the edges of its form. Default: left and top.
enum TAnchorKind : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

} // namespace ui

using enum ui::TAlignment;
using enum ui::TDateTimeKind;
using enum ui::TFormBorderStyle;
using enum ui::TWindowState;
using enum ui::TComboBoxStyle;
using enum ui::TUDBtnType;
using enum ui::TAnchorKind;

// The event slot of most events: the handler gets the component that sent the event.
using TNotifyEvent = std::function<void(TComponent* Sender)>;

class TWidgetComponent : public TComponent {
public:
    // self: the widget that is this component; parent: its Qt parent. When the nearest
    // component among the parent's ancestors is loading, this component is loading too.
    TWidgetComponent(QWidget* self, QWidget* parent);

    QString Name() const override;
    void SetName(const QString& name) override;

    QWidget* Widget() const { return FSelf; }
    // Rises with every component made; FinishLoading gives the after-load steps in this order.
    std::uint64_t CreationOrder() const { return FCreationOrder; }

    // Edges of the form this control keeps its distance to (the "Anchors" property of the
    // form resource: a comma list such as "akLeft,akBottom"). Only controls placed directly on
    // a TForm follow it.
    unsigned Anchors() const;
    void SetAnchors(unsigned anchors);
    QString Hint() const;
    void SetHint(const QString& hint);

private:
    QWidget* FSelf;
    std::uint64_t FCreationOrder;
};

// Reads the "Anchors" property of any widget (default akLeft|akTop).
unsigned WidgetAnchors(const QWidget* widget);

namespace ui {

// The form loader's last step, to be called right after setupUi: gives the form and then
// every component on it that is still loading its after-load step (Loaded), once, in the order
// the components were made. Calling it again does nothing. An exception raised by a step
// leaves this call; the remaining components keep their loading state.
void FinishLoading(QWidget* form);

// The application's standard exception report for the exception being handled: call only from
// inside a catch block. Never throws.
void HandleCurrentException() noexcept;

// Runs an event handler inside the application's standard exception report, so that no
// exception crosses into Qt. Every event that Qt delivers (input, timers, focus, show) reaches
// the handlers through this; events fired from code (Checked set by the program) call their
// handlers directly, so that an exception reaches the code that caused it.
template <class F> void CallHandler(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        HandleCurrentException();
    }
}

// Calls a notify-event slot when it holds a handler.
inline void Fire(const TNotifyEvent& event, TComponent* sender) {
    if (event)
        event(sender);
}

// Sets an event slot aside, empty, and puts it back when the guard ends, whatever happens.
template <class Slot> class TEventDetach {
public:
    explicit TEventDetach(Slot& slot) : FSlot(slot), FSaved(std::move(slot)) { FSlot = nullptr; }
    ~TEventDetach() { FSlot = std::move(FSaved); }
    TEventDetach(const TEventDetach&) = delete;
    TEventDetach& operator=(const TEventDetach&) = delete;

private:
    Slot& FSlot;
    Slot FSaved;
};

} // namespace ui
