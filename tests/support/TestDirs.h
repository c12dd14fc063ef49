// Each test runs in a fresh folder of its own: a settings home (XDG_CONFIG_HOME), a
// machine-wide settings folder (XDG_CONFIG_DIRS) and a working directory, removed afterwards.
#pragma once

#include <QString>

namespace testdirs {

QString Root();       // the test's own folder
QString ConfigHome(); // XDG_CONFIG_HOME
QString ConfigDirs(); // XDG_CONFIG_DIRS (one folder)
QString WorkDir();    // the current directory while the test runs

// Called by the shared test main around every test.
void SetUpForTest();
void TearDownAfterTest();

} // namespace testdirs
