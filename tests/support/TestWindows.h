// Windows in tests.
#pragma once

class QWidget;

namespace testui {

// Shows the window and makes it the active one, so that focus moves as for a user; a window
// that does not become active fails the test.
void ShowActive(QWidget& window);

} // namespace testui
