// A component that writes its after-load steps into a log, for the loading tests.
#pragma once

#include "Controls.h"

#include <QStringList>
#include <QWidget>

class TProbe : public QWidget, public TWidgetComponent {
    Q_OBJECT
public:
    explicit TProbe(QWidget* parent = nullptr) : QWidget(parent), TWidgetComponent(this, parent) {}
    void Loaded() override {
        TWidgetComponent::Loaded();
        Log().append(Name());
    }
    static QStringList& Log() {
        static QStringList log;
        return log;
    }
};
