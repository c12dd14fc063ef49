#include "registry.h"

#include "RegistryValues.h"
#include "TestDirs.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace testregistry;
using testfiles::Contents;
using testfiles::WriteContents;

QByteArray Utf16(const QString& text, bool withNul = true) {
    QByteArray data;
    for (const QChar c : text) {
        data += static_cast<char>(c.unicode() & 0xFF);
        data += static_cast<char>(c.unicode() >> 8);
    }
    if (withNul)
        data += QByteArray(2, '\0');
    return data;
}

LONG OpenResult(const QString& path, REGSAM rights, HKEY root = HKEY_CURRENT_USER) {
    HKEY key = 0;
    const LONG rc = RegOpenKeyExW(root, path, 0, rights, &key);
    if (rc == ERROR_SUCCESS)
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    else
        EXPECT_EQ(key, 0u);
    return rc;
}

struct CreateOutcome {
    LONG Result;
    DWORD Disposition;
};

CreateOutcome Create(const QString& path, HKEY root = HKEY_CURRENT_USER) {
    HKEY key = 0;
    DWORD disposition = 0;
    const LONG rc = RegCreateKeyExW(root, path, 0, QString(), REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(key);
    return {rc, disposition};
}

TEST(SettingsStore, EveryTypeAndLengthRoundTripsUnchanged) {
    QByteArray big;
    for (int i = 0; i < 1000; ++i)
        big += static_cast<char>(i * 7);
    struct Row {
        QString Name;
        DWORD Type;
        QByteArray Data;
    };
    const std::vector<Row> rows = {
        {"Interval", REG_DWORD, Dword(5)},
        {"Negative", REG_DWORD, Dword(0xFFFFFF85)},
        {"Short dword", REG_DWORD, QByteArray("\x01\x02", 2)},
        {"Start", REG_BINARY, QByteArray("\x00\x00\x00\x00\x00\xe2\xdc\x3f", 8)},
        {"Empty", REG_BINARY, QByteArray()},
        {"Big", REG_BINARY, big},
        {"Caption", REG_SZ, Utf16(QStringLiteral("Tide \"log\" C:\\x\\ \u00fc\U0001F600 \t%"))},
        {"Two lines", REG_SZ, Utf16(QStringLiteral("a\r\nb"))},
        {"Odd length", REG_SZ, QByteArray("A", 1)},
        {"No NUL", REG_SZ, Utf16(QStringLiteral("abc"), false)},
        {"Inner NUL", REG_SZ, QByteArray("a\0b\0\0\0", 6)},
        {"Lone surrogate", REG_SZ, QByteArray("\x00\xd8\x00\x00", 4)},
        {"Empty string", REG_SZ, Utf16(QString())},
        {"", REG_SZ, Utf16(QStringLiteral("unnamed"))},
        {"Path", REG_EXPAND_SZ, Utf16(QStringLiteral("%HOME%\\x"))},
        {"List", REG_MULTI_SZ, QByteArray("a\0\0\0b\0\0\0\0\0", 10)},
        {"Quad", REG_QWORD, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
        {"None", REG_NONE, QByteArray()},
        {"Odd type", 0x12345, QByteArray("\x01\x02\x03", 3)},
        {"Name \"quoted\" \\ [x] = y", REG_DWORD, Dword(1)},
    };
    for (const Row& row : rows)
        ASSERT_EQ(Set(row.Name, row.Type, row.Data), ERROR_SUCCESS) << row.Name.toStdString();
    const QByteArray text = Contents(TidelogKeyFile());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name.toStdString());
        const Stored stored = Query(row.Name);
        ASSERT_EQ(stored.Result, ERROR_SUCCESS);
        EXPECT_EQ(stored.Type, row.Type);
        EXPECT_EQ(stored.Data.toHex(), row.Data.toHex());
    }
    // Saving the same values again changes nothing in the file.
    for (const Row& row : rows)
        ASSERT_EQ(Set(row.Name, row.Type, row.Data), ERROR_SUCCESS);
    EXPECT_EQ(Contents(TidelogKeyFile()), text);

    // A person can read it.
    EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Marrowby\\Tidelog]\n"));
    for (const char* line :
         {"\n\"Interval\"=dword:00000005\n", "\n\"Negative\"=dword:ffffff85\n",
          "\n\"Start\"=hex:00,00,00,00,00,e2,dc,3f\n", "\n\"Empty\"=hex:\n", "\n@=\"unnamed\"\n",
          "\n\"Short dword\"=hex(4):01,02\n", "\n\"Odd type\"=hex(12345):01,02,03\n",
          "\n\"Name \\\"quoted\\\" \\\\ [x] = y\"=dword:00000001\n"}) {
        EXPECT_TRUE(text.contains(line)) << line;
    }
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Caption\"=\"Tide \\\"log\\\" C:\\\\x\\\\ "
                                             "\u00fc\U0001F600 \t%\"\n")
                                  .toUtf8()));
    for (const QByteArray& line : text.split('\n'))
        EXPECT_LE(line.size(), 80) << line.constData();

    // Names compare without regard to case; setting replaces the one line.
    EXPECT_EQ(Query("INTERVAL").Data, Dword(5));
    ASSERT_EQ(Set("INTERVAL", REG_DWORD, Dword(6)), ERROR_SUCCESS);
    EXPECT_EQ(Query("interval").Data, Dword(6));
    EXPECT_EQ(Contents(TidelogKeyFile()).count("\"Interval\"="), 1);

    // The buffer rules of the query.
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTidelogKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    BYTE small[4] = {};
    DWORD size = sizeof small;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, "Start", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(RegQueryValueExW(key, "Start", nullptr, &type, small, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, "Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExW(key, "Start", 0, REG_DWORD, small, 4), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(key, "Start", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set("bad\nname", REG_DWORD, Dword(1)), ERROR_INVALID_PARAMETER);
}

TEST(SettingsStore, KeysLiveAsFilesUnderTheXdgFolders) {
    EXPECT_EQ(OpenResult(kTidelogKey, KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Query("x").Result, ERROR_FILE_NOT_FOUND);

    CreateOutcome created = Create(kTidelogKey);
    ASSERT_EQ(created.Result, ERROR_SUCCESS);
    EXPECT_EQ(created.Disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(Contents(TidelogKeyFile()), "Windows Registry Editor Version 5.00\n\n"
                                          "[HKEY_CURRENT_USER\\Software\\Marrowby\\Tidelog]\n");
    EXPECT_EQ(Create(kTidelogKey).Disposition, REG_OPENED_EXISTING_KEY);
    // Parent keys are folders; they exist too.
    EXPECT_EQ(OpenResult("Software\\Marrowby", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(OpenResult("Software\\Marrowby\\Tidelog\\Sub", KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenResult("Software\\Marrowby\\Tidelog\\", KEY_READ), ERROR_SUCCESS);

    // Key names compare without regard to case; the first spelling stays.
    EXPECT_EQ(OpenResult("SOFTWARE\\marrowby\\TIDELOG", KEY_ALL_ACCESS), ERROR_SUCCESS);
    created = Create("software\\MARROWBY\\tidelog");
    EXPECT_EQ(created.Disposition, REG_OPENED_EXISTING_KEY);
    ASSERT_EQ(
        Set("Interval", REG_DWORD, Dword(9), HKEY_CURRENT_USER, "SOFTWARE\\MARROWBY\\TIDELOG"),
        ERROR_SUCCESS);
    EXPECT_EQ(Query("Interval").Data, Dword(9));
    EXPECT_EQ(QDir(testdirs::ConfigHome() + "/Software/Marrowby")
                  .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList{"Tidelog.reg"});

    // A subkey gives its parent a folder; the parent's values stay in its file.
    ASSERT_EQ(Set("Deep", REG_DWORD, Dword(1), HKEY_CURRENT_USER, kTidelogKey + "\\Sub\\Deeper"),
              ERROR_SUCCESS);
    EXPECT_TRUE(
        QFileInfo(testdirs::ConfigHome() + "/Software/Marrowby/Tidelog/Sub/Deeper.reg").isFile());
    EXPECT_EQ(Query("Interval").Data, Dword(9));

    // Opening relative to an open key.
    HKEY parent = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, "Software\\Marrowby", 0, KEY_READ, &parent),
              ERROR_SUCCESS);
    HKEY child = 0;
    ASSERT_EQ(RegOpenKeyExW(parent, "Tidelog", 0, KEY_READ, &child), ERROR_SUCCESS);
    DWORD value = 0, size = 4, type = 0;
    EXPECT_EQ(
        RegQueryValueExW(child, "Interval", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 9u);
    RegCloseKey(child);
    RegCloseKey(parent);

    // Paths the registry refuses, and handles it does not know.
    EXPECT_EQ(OpenResult("\\Software", KEY_READ), ERROR_BAD_PATHNAME);
    EXPECT_EQ(Create("Software\\\\Marrowby").Result, ERROR_BAD_PATHNAME);
    EXPECT_EQ(OpenResult("Software", KEY_READ, 0x80000000), ERROR_INVALID_HANDLE);
    EXPECT_EQ(OpenResult("Software", KEY_READ, 0x4242), ERROR_INVALID_HANDLE);

    // Names that are no plain file names stay inside their key's folder, each its own key.
    const QStringList odd = {"a/b", "..", ".", "x.reg", ".hidden", "100%", "tab\tname"};
    for (int i = 0; i < odd.size(); ++i) {
        ASSERT_EQ(Set("V", REG_DWORD, Dword(i), HKEY_CURRENT_USER, "Software\\" + odd[i]),
                  ERROR_SUCCESS)
            << odd[i].toStdString();
    }
    for (int i = 0; i < odd.size(); ++i)
        EXPECT_EQ(Query("V", HKEY_CURRENT_USER, "Software\\" + odd[i]).Data, Dword(i));
    EXPECT_TRUE(QFileInfo(testdirs::ConfigHome() + "/Software/a%2Fb.reg").isFile());
    EXPECT_FALSE(QFileInfo::exists(testdirs::ConfigHome() + "/V.reg"));
    EXPECT_FALSE(QFileInfo::exists(testdirs::Root() + "/x.reg"));

    // HKEY_LOCAL_MACHINE: the first absolute entry of XDG_CONFIG_DIRS.
    setenv("XDG_CONFIG_DIRS", ("relative/dir:" + testdirs::ConfigDirs() + ":/nonexistent").toUtf8(),
           1);
    ASSERT_EQ(Set("Machine", REG_DWORD, Dword(2), HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_TRUE(Contents(TidelogKeyFile(testdirs::ConfigDirs()))
                    .contains("[HKEY_LOCAL_MACHINE\\Software\\Marrowby\\Tidelog]\n"
                              "\"Machine\"=dword:00000002\n"));
    EXPECT_EQ(Query("Machine").Result, ERROR_FILE_NOT_FOUND); // not in the user's key

    // A relative XDG_CONFIG_HOME is ignored: ~/.config.
    {
        const testenv::ScopedVariable home("HOME", QFile::encodeName(testdirs::Root() + "/home"));
        setenv("XDG_CONFIG_HOME", "relative", 1);
        ASSERT_EQ(Set("AtHome", REG_DWORD, Dword(3)), ERROR_SUCCESS);
    }
    EXPECT_TRUE(QFileInfo(TidelogKeyFile(testdirs::Root() + "/home/.config")).isFile());
}

TEST(SettingsStore, LinesItCannotParseAreKept) {
    const QByteArray original = "Windows Registry Editor Version 5.00\r\n"
                                "; a comment\r\n"
                                "\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Marrowby\\Tidelog]\r\n"
                                "\"Interval\"=dword:0000000a\r\n"
                                "\"Broken\"=dword:12\r\n"
                                "garbage \xff\xfe\x01 line\r\n"
                                "\"Start\"=hex:00,00,00,00,00,e2,dc,\\\r\n"
                                "  3f\r\n"
                                "\"Cut\"=hex:01,02,\\\r\n"
                                "\r\n"
                                "\"Str\"=\"unterminated\r\n"
                                "\"Bad escape\"=\"a\\nb\"\r\n"
                                "\"Short\"=hex:01,2\r\n"
                                "\"Late\"=dword:00000001\r\n"
                                "\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                "\"Foreign\"=dword:00000007\r\n"
                                "\"Tail\"=hex:01,02,\\";
    WriteContents(TidelogKeyFile(), original);
    EXPECT_EQ(Query("Interval").Data, Dword(10));
    EXPECT_EQ(Query("Start").Data.toHex(), "0000000000e2dc3f");
    EXPECT_EQ(Query("Late").Data, Dword(1));
    for (const char* name : {"Broken", "Cut", "Str", "Bad escape", "Short", "Foreign", "Tail"})
        EXPECT_EQ(Query(name).Result, ERROR_FILE_NOT_FOUND) << name;
    EXPECT_EQ(Contents(TidelogKeyFile()), original); // reading changes nothing

    ASSERT_EQ(Set("Broken", REG_DWORD, Dword(5)), ERROR_SUCCESS);
    ASSERT_EQ(Set("Interval", REG_DWORD, Dword(11)), ERROR_SUCCESS);
    ASSERT_EQ(Set("New", REG_BINARY, QByteArray("\x01", 1)), ERROR_SUCCESS);
    const QByteArray saved = Contents(TidelogKeyFile());
    // Every line but the one value replaced is still there, in its order, byte for byte.
    qsizetype from = 0;
    for (const QByteArray& line : original.split('\n')) {
        if (line.startsWith("\"Interval\""))
            continue;
        const qsizetype at = saved.indexOf(line, from);
        ASSERT_GE(at, from) << line.constData();
        from = at + line.size();
    }
    EXPECT_EQ(Query("Broken").Data, Dword(5));
    EXPECT_EQ(Query("Interval").Data, Dword(11));
    EXPECT_EQ(Query("New").Data, QByteArray("\x01", 1));
    EXPECT_EQ(Query("Start").Data.size(), 8);
    EXPECT_EQ(Query("Late").Data, Dword(1));
    EXPECT_EQ(Query("Foreign").Result, ERROR_FILE_NOT_FOUND);

    // A file with no section at all gets one, after its own lines.
    WriteContents(TidelogKeyFile(), "just text\n\"Loose\"=dword:00000001");
    EXPECT_EQ(Query("Loose").Result, ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Set("Interval", REG_DWORD, Dword(3)), ERROR_SUCCESS);
    EXPECT_TRUE(Contents(TidelogKeyFile()).contains("just text\n\"Loose\"=dword:00000001\n"));
    EXPECT_EQ(Query("Interval").Data, Dword(3));
    EXPECT_EQ(Query("Loose").Result, ERROR_FILE_NOT_FOUND);

    // regedit's own UTF-16 export is read.
    QByteArray utf16("\xff\xfe", 2);
    utf16 += Utf16(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\Marrowby\\Tidelog]\r\n"
                                  "\"Interval\"=dword:00000004\r\n"),
                   false);
    WriteContents(TidelogKeyFile(), utf16);
    EXPECT_EQ(Query("Interval").Data, Dword(4));
}

TEST(SettingsStore, CutFileGivesStoredValueOrNone) {
    QByteArray big;
    for (int i = 0; i < 60; ++i)
        big += static_cast<char>(i);
    const std::vector<std::pair<QString, QByteArray>> values = {
        {"Interval", Dword(0x01020304)},
        {"Start", QByteArray("\x11\x22\x33\x44\x55\x66\x77\x08", 8)},
        {"Big", big},
        {"Caption", Utf16("Tidelog")}};
    for (const auto& [name, data] : values) {
        const DWORD type =
            name == "Interval" ? REG_DWORD : (name == "Caption" ? REG_SZ : REG_BINARY);
        ASSERT_EQ(Set(name, type, data), ERROR_SUCCESS);
    }
    const QByteArray full = Contents(TidelogKeyFile());
    for (qsizetype cut = 0; cut < full.size(); ++cut) {
        SCOPED_TRACE(cut);
        WriteContents(TidelogKeyFile(), full.left(cut));
        std::vector<QString> readable;
        for (const auto& [name, data] : values) {
            const Stored stored = Query(name);
            if (stored.Result == ERROR_SUCCESS) {
                EXPECT_EQ(stored.Data.toHex(), data.toHex()) << name.toStdString();
                readable.push_back(name);
            } else {
                EXPECT_EQ(stored.Result, ERROR_FILE_NOT_FOUND);
            }
        }
        EXPECT_EQ(Contents(TidelogKeyFile()), full.left(cut));
        if (cut % 9 != 0)
            continue;
        // A save keeps what could be read and the cut text itself.
        ASSERT_EQ(Set("Added", REG_DWORD, Dword(1)), ERROR_SUCCESS);
        for (const QString& name : readable)
            EXPECT_EQ(Query(name).Result, ERROR_SUCCESS) << name.toStdString();
        EXPECT_EQ(Query("Added").Data, Dword(1));
        const QByteArray saved = Contents(TidelogKeyFile());
        const qsizetype lastLine = full.left(cut).lastIndexOf('\n') + 1;
        EXPECT_TRUE(saved.contains(full.left(cut).mid(lastLine)));
    }
}

TEST(SettingsStore, ReadOnlyKeyRefusesChangesEvenForRoot) {
    ASSERT_EQ(Set("Interval", REG_DWORD, Dword(7)), ERROR_SUCCESS);
    const QByteArray before = Contents(TidelogKeyFile());
    const QString file = TidelogKeyFile();
    const QString folder = QFileInfo(file).path();
    for (const QString& readOnly : {file, folder}) {
        testfiles::WithReadOnly(readOnly, [&] {
            EXPECT_EQ(OpenResult(kTidelogKey,
                                 STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
                      ERROR_SUCCESS);
            EXPECT_EQ(Query("Interval").Data, Dword(7));
            EXPECT_EQ(OpenResult(kTidelogKey, KEY_ALL_ACCESS), ERROR_ACCESS_DENIED);
            EXPECT_EQ(OpenResult(kTidelogKey, KEY_SET_VALUE), ERROR_ACCESS_DENIED);
            EXPECT_EQ(Create(kTidelogKey).Result, ERROR_ACCESS_DENIED);
            EXPECT_EQ(Set("Interval", REG_DWORD, Dword(8)), ERROR_ACCESS_DENIED);
            EXPECT_EQ(Contents(file), before);
        });
    }
    // A folder without owner-write takes no new key either.
    ASSERT_EQ(chmod(folder.toUtf8(), 0555), 0);
    EXPECT_EQ(Create("Software\\Marrowby\\Other").Result, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(QFileInfo::exists(folder + "/Other.reg"));
    ASSERT_EQ(chmod(folder.toUtf8(), 0755), 0);
    // Without owner-read the key cannot even be tested.
    ASSERT_EQ(chmod(file.toUtf8(), 0200), 0);
    EXPECT_EQ(OpenResult(kTidelogKey, KEY_READ), ERROR_ACCESS_DENIED);
    ASSERT_EQ(chmod(file.toUtf8(), 0644), 0);
    EXPECT_EQ(Set("Interval", REG_DWORD, Dword(8)), ERROR_SUCCESS);
}

TEST(SettingsStore, SpecialFilesAreNeverReplaced) {
    ASSERT_EQ(Create("Software\\Marrowby\\Other").Result, ERROR_SUCCESS);
    ASSERT_EQ(mkfifo(TidelogKeyFile().toUtf8(), 0644), 0);
    EXPECT_EQ(Query("Interval").Result, ERROR_FILE_NOT_FOUND); // and does not hang
    EXPECT_EQ(Set("Interval", REG_DWORD, Dword(1)), ERROR_BADDB);
    struct stat st {};
    ASSERT_EQ(lstat(TidelogKeyFile().toUtf8(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(unlink(TidelogKeyFile().toUtf8()), 0);

    // A key file that is a link is rewritten where it points.
    const QString target = testdirs::Root() + "/dotfiles/tidelog.reg";
    WriteContents(target, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\x]\n"
                          "\"Interval\"=dword:00000002\n");
    ASSERT_EQ(symlink(target.toUtf8(), TidelogKeyFile().toUtf8()), 0);
    EXPECT_EQ(Query("Interval").Data, Dword(2));
    ASSERT_EQ(Set("Interval", REG_DWORD, Dword(3)), ERROR_SUCCESS);
    EXPECT_TRUE(QFileInfo(TidelogKeyFile()).isSymLink());
    EXPECT_TRUE(Contents(target).contains("\"Interval\"=dword:00000003\n"));
}

// ---- Several processes ----------------------------------------------------------------------

// Waits until the descriptor has something to read (or its end); false once the deadline is
// past.
bool ReadableBefore(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) > 0)
            return true;
    }
}

// A helper process with its stdin and stdout on pipes; killed and reaped when it goes.
class TChild {
public:
    explicit TChild(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        FIn = in[1];
        FOut = out[0];
    }
    ~TChild() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            Wait();
        }
        if (FIn >= 0)
            close(FIn);
        if (FOut >= 0)
            close(FOut);
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    bool Started() const { return FPid > 0; }
    bool Go() { return write(FIn, "g", 1) == 1; }
    void Kill() { kill(FPid, SIGKILL); }
    // The wait status; the child is reaped.
    int Wait() {
        int status = 0;
        while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
        return status;
    }
    // The next line of the child's stdout, or nothing at its end or after the deadline.
    std::optional<std::string> ReadLine(std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            if (const auto newline = FBuffer.find('\n'); newline != std::string::npos) {
                std::string line = FBuffer.substr(0, newline);
                FBuffer.erase(0, newline + 1);
                return line;
            }
            if (!ReadableBefore(FOut, deadline))
                return std::nullopt;
            char chunk[256];
            const ssize_t got = read(FOut, chunk, sizeof chunk);
            if (got <= 0)
                return std::nullopt;
            FBuffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    pid_t FPid = -1;
    int FIn = -1;
    int FOut = -1;
    std::string FBuffer;
};

TEST(SettingsStore, TwoProcessesSavingInterleavedLoseNothing) {
    constexpr int kSaves = 300;
    TChild a({REGISTRY_HELPER, "interleave", "A", "B", std::to_string(kSaves)});
    TChild b({REGISTRY_HELPER, "interleave", "B", "A", std::to_string(kSaves)});
    ASSERT_TRUE(a.Started() && b.Started());
    ASSERT_TRUE(a.Go() && b.Go());
    const int statusA = a.Wait();
    const int statusB = b.Wait();
    ASSERT_TRUE(WIFEXITED(statusA) && WIFEXITED(statusB));
    EXPECT_EQ(WEXITSTATUS(statusA), 0);
    EXPECT_EQ(WEXITSTATUS(statusB), 0);
    EXPECT_EQ(Query("A", HKEY_CURRENT_USER, kStressKey).Data, Dword(kSaves));
    EXPECT_EQ(Query("B", HKEY_CURRENT_USER, kStressKey).Data, Dword(kSaves));
}

// Tells when a file whose name starts with a prefix is created in a folder.
class TCreationWatch {
public:
    explicit TCreationWatch(const QString& folder) {
        FFd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (FFd >= 0 && inotify_add_watch(FFd, folder.toUtf8().constData(), IN_CREATE) < 0) {
            close(FFd);
            FFd = -1;
        }
    }
    ~TCreationWatch() {
        if (FFd >= 0)
            close(FFd);
    }
    TCreationWatch(const TCreationWatch&) = delete;
    TCreationWatch& operator=(const TCreationWatch&) = delete;

    bool Valid() const { return FFd >= 0; }
    void Drain() {
        alignas(inotify_event) char buffer[4096];
        while (read(FFd, buffer, sizeof buffer) > 0) {
        }
    }
    bool WaitFor(const QByteArray& prefix, std::chrono::steady_clock::time_point deadline) {
        alignas(inotify_event) char buffer[4096];
        while (ReadableBefore(FFd, deadline)) {
            const ssize_t got = read(FFd, buffer, sizeof buffer);
            for (ssize_t at = 0; got > 0 && at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && QByteArray(event->name).startsWith(prefix))
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

private:
    int FFd = -1;
};

TEST(SettingsStore, KilledSaveLeavesOldOrNewFile) {
    constexpr int kRounds = 60;
    constexpr int kBlobSize = 64 * 1024;
    const QString folder = testdirs::ConfigHome() + "/Software/Marrowby";
    ASSERT_EQ(Create(kStressKey).Result, ERROR_SUCCESS);
    TCreationWatch watch(folder);
    ASSERT_TRUE(watch.Valid());
    int roundsWithTemporary = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        // A bound for this round's waits alone: on a loaded machine the rounds before may have
        // used up any bound shared by all of them.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        TChild child({REGISTRY_HELPER, "churn", "100000", std::to_string(kBlobSize)});
        ASSERT_TRUE(child.Started());
        // Let it complete a few saves, then kill it somewhere inside a later one.
        const int waitFor = 1 + round % 4;
        DWORD acknowledged = 0;
        for (int i = 0; i < waitFor; ++i) {
            const std::optional<std::string> line = child.ReadLine(deadline);
            ASSERT_TRUE(line.has_value()) << "helper stopped or timed out";
            acknowledged = static_cast<DWORD>(std::stoul(*line));
        }
        // Even rounds: a moment spread over the length of one save (some tens of ms here).
        // Odd rounds: just after the save has made its temporary file, while it writes.
        auto spin = std::chrono::microseconds((round * 7919) % 50000);
        if (round % 2 == 1) {
            watch.Drain();
            ASSERT_TRUE(watch.WaitFor(".Stress.reg.tmp-", deadline));
            spin = std::chrono::microseconds((round * 131) % 1500);
        }
        const auto until = std::chrono::steady_clock::now() + spin;
        while (std::chrono::steady_clock::now() < until) {
        }
        child.Kill();
        // Every line the child printed before it died stands for a save that had completed.
        while (const std::optional<std::string> line = child.ReadLine(deadline))
            acknowledged = static_cast<DWORD>(std::stoul(*line));
        const int status = child.Wait();
        EXPECT_TRUE(WIFSIGNALED(status));

        const Stored stored = Query("Blob", HKEY_CURRENT_USER, kStressKey);
        ASSERT_EQ(stored.Result, ERROR_SUCCESS);
        ASSERT_EQ(stored.Data.size(), kBlobSize);
        DWORD counter = 0;
        std::memcpy(&counter, stored.Data.constData(), 4);
        // The last completed save, or the one the kill interrupted: nothing older, nothing mixed.
        EXPECT_TRUE(counter == acknowledged || counter == acknowledged + 1)
            << counter << " after " << acknowledged;
        EXPECT_TRUE(stored.Data == StressBlob(counter, kBlobSize)) << "mixed file at " << counter;
        const QByteArray text = Contents(folder + "/Stress.reg");
        EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\n"));
        EXPECT_TRUE(text.endsWith("\n"));
        if (!QDir(folder).entryList({".Stress.reg.tmp-*"}, QDir::Hidden | QDir::Files).isEmpty())
            ++roundsWithTemporary;
    }
    // The next save clears what the killed ones left behind.
    ASSERT_EQ(Set("Blob", REG_BINARY, StressBlob(1, 16), HKEY_CURRENT_USER, kStressKey),
              ERROR_SUCCESS);
    EXPECT_EQ(QDir(folder).entryList(QDir::Hidden | QDir::Files), QStringList{"Stress.reg"});
    std::printf("kills that left a temporary file: %d of %d\n", roundsWithTemporary, kRounds);
}

} // namespace
