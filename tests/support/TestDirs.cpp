#include "TestDirs.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace testdirs {
namespace {
QString gRoot;
QString gPreviousDir;
} // namespace

QString Root() { return gRoot; }
QString ConfigHome() { return gRoot + QStringLiteral("/config"); }
QString ConfigDirs() { return gRoot + QStringLiteral("/xdg"); }
QString WorkDir() { return gRoot + QStringLiteral("/work"); }

void SetUpForTest() {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/tidelog-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    gRoot = QString::fromLocal8Bit(pattern);
    for (const QString& dir : {ConfigHome(), ConfigDirs(), WorkDir()})
        QDir().mkpath(dir);
    setenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()).constData(), 1);
    setenv("XDG_CONFIG_DIRS", QFile::encodeName(ConfigDirs()).constData(), 1);
    gPreviousDir = QDir::currentPath();
    QDir::setCurrent(WorkDir());
}

void TearDownAfterTest() {
    QDir::setCurrent(gPreviousDir);
    std::error_code ignored;
    // Tests may leave read-only folders behind; make them writable so they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             gRoot.toStdString(), std::filesystem::directory_options::skip_permission_denied,
             ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::permissions(gRoot.toStdString(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(gRoot.toStdString(), ignored);
    gRoot.clear();
}

} // namespace testdirs
