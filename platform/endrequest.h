// The platform's ordinary request to end a program: SIGTERM, SIGINT and SIGHUP on POSIX (a
// log-off or shut-down message on Windows). A program that honours it closes as if the user had
// closed its window, so its settings are stored as usual.
#pragma once

#include <functional>

// Installs `handler` for the end requests; it runs on the calling (GUI) thread, from its event
// loop, once per request, never inside a signal handler. An empty handler puts the system's
// default handling back. Needs a running Qt event loop on that thread to deliver the requests.
void SetEndRequestHandler(std::function<void()> handler);
