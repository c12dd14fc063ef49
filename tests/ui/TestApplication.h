// An application object for tests: message boxes are recorded instead of shown.
#pragma once

#include "Forms.h"

#include <vector>

namespace testui {

class RecordingApplication : public TApplication {
public:
    RecordingApplication() {
        SetTitle(QStringLiteral("Testapp"));
        MessageBoxHook = [this](const TMessageBoxRequest& request) {
            Boxes.push_back(request);
            return IDOK;
        };
    }
    std::vector<TMessageBoxRequest> Boxes;
};

} // namespace testui
