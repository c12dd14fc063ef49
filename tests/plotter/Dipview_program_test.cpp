// The program dipview as a user starts it: in a folder of daily logs, or with a mask naming the
// logs elsewhere or nothing at all, it plots until the system asks it to end, then closes its
// window as the user would and stores the settings it was started with.
#include "ChildProcesses.h"
#include "SysUtils.h"
#include "TestDirs.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QString KeyFile() {
    return testdirs::ConfigHome() + "/Software/Marrowby/dipview.reg";
}

// A date-time's value line in the key file: its 8 bytes as this machine (little-endian) holds
// them, least significant first.
QByteArray DateTimeLine(const char* name, TDateTime value) {
    const QByteArray bytes(reinterpret_cast<const char*>(&value), sizeof value);
    return QByteArray("\"") + name + "\"=hex:" + bytes.toHex(',');
}

// Settings unlike the defaults (10:45, 11:15, 2017-10-05, "Smooth"), their lines ending in CR LF
// as in an exported key. The store ends each line it writes with LF alone, so a value line
// ending in LF was stored by the program, and the file changes at its first store.
QList<QByteArray> WriteSettings() {
    const QList<QByteArray> values = {DateTimeLine("StartUTC", EncodeTime(10, 40, 0, 0)),
                                      DateTimeLine("StopUTC", EncodeTime(11, 20, 0, 0)),
                                      DateTimeLine("StartDate", EncodeDate(2017, 10, 1)),
                                      "\"Smoothing\"=dword:00000002"};
    QByteArray text = "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Marrowby\\dipview]\r\n";
    for (const QByteArray& value : values)
        text += value + "\r\n";
    testfiles::WriteContents(KeyFile(), text);
    return values;
}

// Starts dipview in the working folder with the settings above. Once it catches the request to
// end and, when it `plots`, has stored the UTC window of a loaded file, it must still run; asked
// to end, it must end normally with 0, with no sanitizer report, having stored every setting as
// it came. A program that is not ready or does not end is killed after the bound.
void ExpectItRunsUntilAskedAndKeepsTheSettings(const QStringList& arguments, bool plots) {
    const QList<QByteArray> settings = WriteSettings();
    const QByteArray written = testfiles::Contents(KeyFile());
    QProcess program;
    program.setWorkingDirectory(testdirs::WorkDir());
    program.start(DIPVIEW_PATH, arguments);
    ASSERT_TRUE(program.waitForStarted(30000));
    const auto pid = static_cast<DWORD>(program.processId());
    const auto ready = [&] {
        return proctest::CatchesSignal(pid, SIGTERM) &&
               (!plots || testfiles::Contents(KeyFile()) != written);
    };
    const bool settled =
        QTest::qWaitFor([&] { return program.state() != QProcess::Running || ready(); }, 30000);
    const bool running = program.state() == QProcess::Running && proctest::ProcessState(pid) != 'Z';
    const bool readyAndRunning = settled && running && ready();
    if (readyAndRunning)
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    const bool ended = readyAndRunning && program.waitForFinished(30000);
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(30000);
    }
    const QByteArray err = program.readAllStandardError();
    SCOPED_TRACE("standard error of dipview:\n" + err.toStdString());
    ASSERT_TRUE(running) << "ended before it was asked to";
    ASSERT_TRUE(readyAndRunning) << "not ready for the request to end";
    ASSERT_TRUE(ended) << "still running after the request to end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"})
        EXPECT_FALSE(err.contains(report)) << report;
    const QByteArray stored = testfiles::Contents(KeyFile());
    for (const QByteArray& line : settings)
        EXPECT_TRUE(stored.contains('\n' + line + '\n'))
            << line.constData() << " not stored in\n"
            << QByteArray(stored).replace('\r', "\\r").constData();
}

} // namespace

TEST(DipviewProgram, InAFolderOfLogsItPlotsUntilAskedToEndAndKeepsItsSettings) {
    testfiles::WriteDayLog("snr-log-2017-10-05.log", "2017/10/05", 2);
    testfiles::WriteDayLog("snr-log-2017-10-06.log", "2017/10/06", 5);
    // Named like logs but none: random bytes (the same each run) and a folder.
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator(20171007).fillRange(reinterpret_cast<quint32*>(noise.data()),
                                         noise.size() / 4);
    testfiles::WriteContents("snr-log-2017-10-07.log", noise);
    ASSERT_TRUE(QDir().mkdir("snr-log-2017-10-08.log"));
    ExpectItRunsUntilAskedAndKeepsTheSettings({}, true);
}

TEST(DipviewProgram, AMaskNamesTheLogsOrNothingAndTheSettingsAreKeptEitherWay) {
    // Only the other folder holds logs, so a plot shows that the mask's files were read.
    testfiles::WriteDayLog("other/snr-log-2017-10-05.log", "2017/10/05", 2);
    testfiles::WriteDayLog("other/snr-log-2017-10-06.log", "2017/10/06", 5);
    {
        SCOPED_TRACE("a mask relative to the working folder");
        ExpectItRunsUntilAskedAndKeepsTheSettings({"other/snr-log-*.log"}, true);
    }
    {
        SCOPED_TRACE("a mask that matches nothing");
        ExpectItRunsUntilAskedAndKeepsTheSettings({testdirs::Root() + "/none/snr-log-*.log"},
                                                  false);
    }
}
