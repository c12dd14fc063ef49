// Shared main of every test binary: Qt offscreen, a private runtime folder, a fixed locale,
// and a fresh settings and working folder around every test.
#include "TestDirs.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class FreshDirsPerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { testdirs::SetUpForTest(); }
    void OnTestEnd(const ::testing::TestInfo&) override { testdirs::TearDownAfterTest(); }
};

} // namespace

int main(int argc, char** argv) {
    // Must be set before the QApplication exists; test discovery runs without CTest's variables.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LC_ALL", "C.UTF-8", 1);
    QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/tidelog-runtime-XXXXXX";
    if (!mkdtemp(runtime.data()))
        return 2;
    setenv("XDG_RUNTIME_DIR", runtime.constData(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::UnitTest::GetInstance()->listeners().Append(new FreshDirsPerTest);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime.constData(), ignored);
    return result;
}
