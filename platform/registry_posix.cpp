#include "registry.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype kMaxFileBytes = 32 * 1024 * 1024;
const QByteArray kVersionLine = "Windows Registry Editor Version 5.00";

LONG ErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

class FdGuard {
public:
    explicit FdGuard(int fd) : FFd(fd) {}
    ~FdGuard() {
        if (FFd >= 0)
            ::close(FFd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Get() const { return FFd; }
    // Closes now and answers whether the close succeeded: a failed close of a written file
    // means the data may not have reached it.
    bool Close() {
        const int fd = FFd;
        FFd = -1;
        return ::close(fd) == 0;
    }

private:
    int FFd;
};

bool IsDir(const QByteArray& path) {
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// ---- Roots ----------------------------------------------------------------------------------

bool IsRoot(HKEY key) {
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

QByteArray RootName(HKEY root) {
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::optional<QByteArray> RootFolder(HKEY root) {
    if (root == HKEY_CURRENT_USER) {
        // Relative values are invalid by the XDG rules and are ignored.
        const char* configHome = std::getenv("XDG_CONFIG_HOME");
        if (configHome && configHome[0] == '/')
            return QByteArray(configHome);
        QByteArray home;
        if (const char* env = std::getenv("HOME"); env && env[0] == '/') {
            home = env;
        } else {
            passwd entry{};
            passwd* found = nullptr;
            char buffer[4096];
            if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
                found->pw_dir && found->pw_dir[0] == '/')
                home = found->pw_dir;
        }
        if (home.isEmpty())
            return std::nullopt;
        return home + "/.config";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
            for (const QByteArray& entry : QByteArray(dirs).split(':')) {
                if (entry.startsWith('/'))
                    return entry;
            }
        }
        return QByteArray("/etc/xdg");
    }
    return std::nullopt;
}

// ---- Names ----------------------------------------------------------------------------------

// Text the store can write into a line of its file and read back unchanged: no control
// characters, no unpaired surrogates.
bool IsWellFormedText(QStringView text, bool allowTab) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && !(allowTab && c == '\t'))
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

QByteArray EncodeName(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    const qsizetype regDot =
        utf8.size() >= 4 && utf8.right(4).toLower() == ".reg" ? utf8.size() - 4 : -1;
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool escape =
            c == '%' || c == '/' || c < 0x20 || c == 0x7F || (c == '.' && (i == 0 || i == regDot));
        if (escape) {
            static const char digits[] = "0123456789ABCDEF";
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The key name a file or folder name stands for; empty when the name is not one the store
// writes (so a stray file cannot alias a key).
QString DecodeName(const QByteArray& stem) {
    const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(stem));
    if (name.isEmpty() || EncodeName(name) != stem)
        return {};
    return name;
}

LONG SplitKeyPath(const QString& subKey, QStringList& names) {
    names.clear();
    if (subKey.isEmpty())
        return ERROR_SUCCESS;
    if (subKey.startsWith(u'\\'))
        return ERROR_BAD_PATHNAME;
    QString path = subKey;
    if (path.endsWith(u'\\'))
        path.chop(1);
    names = path.split(u'\\');
    for (const QString& name : names) {
        if (name.isEmpty() || !IsWellFormedText(name, true))
            return ERROR_BAD_PATHNAME;
    }
    return ERROR_SUCCESS;
}

// ---- Key places -----------------------------------------------------------------------------

struct KeyPlace {
    HKEY Root = 0;
    QByteArray RootFolder;
    QStringList Names; // on-disk spelling of each key below the root; empty for the root itself

    QByteArray HoldingFolder() const {
        QByteArray folder = RootFolder;
        for (qsizetype i = 0; i + 1 < Names.size(); ++i)
            folder += '/' + EncodeName(Names[i]);
        return folder;
    }
    QByteArray SubkeyFolder() const {
        return Names.isEmpty() ? RootFolder : HoldingFolder() + '/' + EncodeName(Names.last());
    }
    QByteArray File() const { return SubkeyFolder() + ".reg"; }
    QByteArray DisplayName() const {
        QByteArray name = RootName(Root);
        for (const QString& key : Names)
            name += '\\' + key.toUtf8();
        return name;
    }
};

// The spelling under which key `name` exists in `folder` (as a file or a folder): the exact
// spelling when it exists, else the first in sorted order that matches without regard to case.
std::optional<QString> FindKey(const QByteArray& folder, const QString& name) {
    const QByteArray exact = folder + '/' + EncodeName(name);
    if (IsDir(exact) || Exists(exact + ".reg"))
        return name;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return std::nullopt;
    std::optional<QString> best;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray fileName(entry->d_name);
        if (fileName.startsWith('.'))
            continue; // the store's own temporaries, and . and ..
        const bool isKeyFile = fileName.endsWith(".reg");
        const QString decoded = DecodeName(isKeyFile ? fileName.chopped(4) : fileName);
        if (decoded.isEmpty() || decoded.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!isKeyFile && !IsDir(folder + '/' + fileName))
            continue;
        if (!best || decoded < *best)
            best = decoded;
    }
    ::closedir(dir);
    return best;
}

// Finds the key `names` below a root; only a key's last name may exist as a file alone.
LONG Resolve(HKEY root, const QByteArray& rootFolder, const QStringList& names, KeyPlace& place) {
    place = KeyPlace{root, rootFolder, {}};
    QByteArray folder = rootFolder;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const std::optional<QString> found = FindKey(folder, names[i]);
        if (!found)
            return ERROR_FILE_NOT_FOUND;
        folder += '/' + EncodeName(*found);
        if (i + 1 < names.size() && !IsDir(folder))
            return ERROR_FILE_NOT_FOUND;
        place.Names << *found;
    }
    return ERROR_SUCCESS;
}

// ---- Access rights --------------------------------------------------------------------------

// The owner permission bits are checked as well as the system's own answer, so that a key
// made read-only is read-only for root too.
bool OwnerMay(const QByteArray& path, mode_t bits, int accessMode) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return true; // nothing there to refuse
    return (st.st_mode & bits) == bits &&
           ::faccessat(AT_FDCWD, path.constData(), accessMode, AT_EACCESS) == 0;
}

LONG CheckRights(const KeyPlace& place, REGSAM rights) {
    const bool read =
        rights & (KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | READ_CONTROL);
    const bool write = rights & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                 WRITE_DAC | WRITE_OWNER);
    const mode_t folderRead = S_IRUSR | S_IXUSR;
    const mode_t folderWrite = S_IWUSR | S_IXUSR;
    bool granted = true;
    if (read) {
        granted = granted && OwnerMay(place.SubkeyFolder(), folderRead, R_OK | X_OK);
        if (!place.Names.isEmpty())
            granted = granted && OwnerMay(place.File(), S_IRUSR, R_OK);
    }
    if (write) {
        granted = granted && OwnerMay(place.SubkeyFolder(), folderWrite, W_OK | X_OK);
        if (!place.Names.isEmpty()) {
            granted = granted && OwnerMay(place.File(), S_IWUSR, W_OK) &&
                      OwnerMay(place.HoldingFolder(), folderWrite, W_OK | X_OK);
        }
    }
    return granted ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// ---- Handles --------------------------------------------------------------------------------

struct OpenKey {
    KeyPlace Place;
    REGSAM Rights = 0;
};

std::mutex gHandlesMutex;
std::map<HKEY, OpenKey> gHandles;
HKEY gNextHandle = 0x1000;

LONG LookUp(HKEY key, OpenKey& result) {
    if (IsRoot(key)) {
        const std::optional<QByteArray> folder = RootFolder(key);
        if (!folder)
            return ERROR_PATH_NOT_FOUND;
        result = OpenKey{KeyPlace{key, *folder, {}}, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(gHandlesMutex);
    const auto it = gHandles.find(key);
    if (it == gHandles.end())
        return ERROR_INVALID_HANDLE;
    result = it->second;
    return ERROR_SUCCESS;
}

HKEY Register(const KeyPlace& place, REGSAM rights) {
    std::lock_guard lock(gHandlesMutex);
    const HKEY handle = gNextHandle;
    gNextHandle += 4; // handles are not reused, so a stale handle is caught
    gHandles.emplace(handle, OpenKey{place, rights});
    return handle;
}

// ---- The key file ---------------------------------------------------------------------------

struct Entry {
    enum Kind { Raw, Header, Value };
    Kind EntryKind = Raw;
    QByteArray Text; // the entry's lines as they stand in the file, line ends included
    QString Name;
    DWORD Type = REG_NONE;
    QByteArray Data;
};

using KeyFile = std::vector<Entry>;

QByteArray LineContent(const QByteArray& line) {
    QByteArray content = line;
    if (content.endsWith('\n'))
        content.chop(1);
    if (content.endsWith('\r'))
        content.chop(1);
    return content;
}

QByteArray RightTrimmed(const QByteArray& text) {
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.left(end);
}

bool ParseQuoted(const QString& text, qsizetype& pos, QString& out) {
    if (pos >= text.size() || text[pos] != u'"')
        return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        const QChar c = text[pos++];
        if (c == u'"')
            return true;
        if (c == u'\\') {
            if (pos >= text.size())
                return false;
            const QChar escaped = text[pos++];
            if (escaped != u'\\' && escaped != u'"')
                return false;
            out += escaped;
            continue;
        }
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
        out += c;
    }
    return false; // no closing quote: cut off
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// The number that hex digits spell; false when one of them is no hex digit.
bool ParseHexNumber(QStringView digits, std::uint32_t& number) {
    number = 0;
    for (const QChar c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return false;
        number = number * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

// Exactly two hex digits per byte and no empty item, so that a list cut off inside a byte or
// after a comma is not mistaken for shorter data.
bool ParseHexList(QStringView text, QByteArray& out) {
    out.clear();
    text = text.trimmed();
    if (text.isEmpty())
        return true;
    for (QStringView item : text.split(u',')) {
        item = item.trimmed();
        if (item.size() != 2)
            return false;
        const int high = HexDigit(item[0]);
        const int low = HexDigit(item[1]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

QByteArray Utf16LeWithNul(const QString& text) {
    QByteArray data;
    data.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        data += static_cast<char>(c.unicode() & 0xFF);
        data += static_cast<char>(c.unicode() >> 8);
    }
    data += '\0';
    data += '\0';
    return data;
}

// isList tells whether the data was a hex list, whose end cannot be told from a cut.
bool ParseValue(const QByteArray& logical, Entry& entry, bool& isList) {
    isList = false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(logical);
    if (decoder.hasError())
        return false;
    qsizetype pos = 0;
    if (text.startsWith(u'@')) {
        entry.Name.clear();
        pos = 1;
    } else if (!ParseQuoted(text, pos, entry.Name)) {
        return false;
    }
    while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t'))
        ++pos;
    if (pos >= text.size() || text[pos] != u'=')
        return false;
    ++pos;
    const QString data = text.mid(pos).trimmed();
    if (data.startsWith(u'"')) {
        qsizetype dataPos = 0;
        QString value;
        if (!ParseQuoted(data, dataPos, value) || dataPos != data.size())
            return false;
        entry.Type = REG_SZ;
        entry.Data = Utf16LeWithNul(value);
        return true;
    }
    if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = QStringView(data).mid(6);
        std::uint32_t number = 0;
        if (digits.size() != 8 || !ParseHexNumber(digits, number))
            return false;
        entry.Type = REG_DWORD;
        entry.Data.clear();
        for (int i = 0; i < 4; ++i)
            entry.Data += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    isList = true;
    if (data.startsWith(u"hex:", Qt::CaseInsensitive)) {
        entry.Type = REG_BINARY;
        return ParseHexList(QStringView(data).mid(4), entry.Data);
    }
    if (data.startsWith(u"hex(", Qt::CaseInsensitive)) {
        const qsizetype close = data.indexOf(u"):");
        if (close < 5 || close > 12)
            return false;
        std::uint32_t type = 0;
        if (!ParseHexNumber(QStringView(data).mid(4, close - 4), type))
            return false;
        entry.Type = type;
        return ParseHexList(QStringView(data).mid(close + 2), entry.Data);
    }
    return false;
}

// Only the lines of the first section can be values of the key. A value line ending in '\'
// goes on in the next line; a continuation that runs into the end of the file, a blank line
// or a section header is a cut-off value and stays raw text. So is a hex list that ends the
// file without a line end: the file may have been cut inside it, and a shorter list would
// read as different data.
KeyFile ParseKeyFile(QByteArray bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        bytes = QString(decoder(QByteArrayView(bytes).sliced(2))).toUtf8();
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    std::vector<QByteArray> lines;
    for (qsizetype start = 0; start < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        lines.push_back(bytes.mid(start, end - start));
        start = end;
    }
    KeyFile file;
    int sections = 0;
    for (std::size_t i = 0; i < lines.size();) {
        Entry entry;
        entry.Text = lines[i];
        const QByteArray content = LineContent(lines[i]);
        const QByteArray trimmed = content.trimmed();
        ++i;
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            entry.EntryKind = Entry::Header;
            ++sections;
        } else if (sections == 1 && (content.startsWith('"') || content.startsWith('@'))) {
            QByteArray logical = content;
            bool complete = true;
            while (RightTrimmed(logical).endsWith('\\')) {
                logical = RightTrimmed(logical);
                logical.chop(1);
                const QByteArray next = i < lines.size() ? LineContent(lines[i]).trimmed() : "";
                if (next.isEmpty() || next.startsWith('[')) {
                    complete = false;
                    break;
                }
                logical += next;
                entry.Text += lines[i];
                ++i;
            }
            bool isList = false;
            if (complete && ParseValue(logical, entry, isList) &&
                (!isList || entry.Text.endsWith('\n')))
                entry.EntryKind = Entry::Value;
        }
        file.push_back(std::move(entry));
    }
    return file;
}

const Entry* FindValue(const KeyFile& file, const QString& name) {
    const Entry* found = nullptr;
    for (const Entry& entry : file) {
        if (entry.EntryKind == Entry::Value && entry.Name.compare(name, Qt::CaseInsensitive) == 0)
            found = &entry; // the later of two wins, as on import
    }
    return found;
}

QByteArray Quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toUtf8() + '"';
}

// The string a REG_SZ holds, when writing it as a quoted string gives back the same bytes.
std::optional<QString> CleanString(const QByteArray& data) {
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 1] != 0 ||
        data[data.size() - 2] != 0)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i + 2 < data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                                static_cast<unsigned char>(data[i + 1]) << 8);
        if (unit == 0)
            return std::nullopt;
        text += QChar(unit);
    }
    if (!IsWellFormedText(text, true))
        return std::nullopt;
    return text;
}

QByteArray FormatValue(const QString& name, DWORD type, const QByteArray& data) {
    const QByteArray prefix = (name.isEmpty() ? QByteArray("@") : Quoted(name)) + '=';
    if (type == REG_SZ) {
        if (const std::optional<QString> text = CleanString(data))
            return prefix + Quoted(*text) + '\n';
    }
    if (type == REG_DWORD && data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(data[i]);
        return prefix + "dword:" + QByteArray::number(number, 16).rightJustified(8, '0') + '\n';
    }
    QByteArray line = prefix + (type == REG_BINARY ? QByteArray("hex:")
                                                   : "hex(" + QByteArray::number(type, 16) + "):");
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0) {
            line += ',';
            if (line.size() + 3 > 78) {
                out += line + "\\\n";
                line = "  ";
            }
        }
        line += QByteArray::number(static_cast<unsigned char>(data[i]), 16).rightJustified(2, '0');
    }
    return out + line + '\n';
}

void EnsureLineEnd(Entry& entry) {
    if (!entry.Text.endsWith('\n'))
        entry.Text += '\n';
}

void AddHeaderIfMissing(KeyFile& file, const KeyPlace& place) {
    for (const Entry& entry : file) {
        if (entry.EntryKind == Entry::Header)
            return;
    }
    if (!file.empty()) {
        EnsureLineEnd(file.back());
        file.push_back(Entry{Entry::Raw, "\n", {}, 0, {}});
    }
    file.push_back(Entry{Entry::Header, '[' + place.DisplayName() + "]\n", {}, 0, {}});
}

// Puts the version line first unless the file starts with one, so regedit takes the file too.
void AddVersionIfMissing(KeyFile& file) {
    if (!file.empty()) {
        const QByteArray first = LineContent(file.front().Text).trimmed();
        if (first == kVersionLine || first == "REGEDIT4")
            return;
    }
    file.insert(file.begin(), {Entry{Entry::Raw, kVersionLine + '\n', {}, 0, {}},
                               Entry{Entry::Raw, "\n", {}, 0, {}}});
}

void SetValue(KeyFile& file, const KeyPlace& place, const QString& name, DWORD type,
              const QByteArray& data) {
    AddVersionIfMissing(file);
    AddHeaderIfMissing(file, place);
    std::size_t first = file.size();
    std::size_t lastValue = file.size();
    std::size_t header = file.size();
    for (std::size_t i = 0; i < file.size(); ++i) {
        const Entry& entry = file[i];
        if (entry.EntryKind == Entry::Header && header == file.size())
            header = i;
        if (entry.EntryKind != Entry::Value)
            continue;
        lastValue = i;
        if (first == file.size() && entry.Name.compare(name, Qt::CaseInsensitive) == 0)
            first = i;
    }
    if (first < file.size()) {
        // Keeps the stored spelling of the name; later copies of the value are superseded.
        Entry& entry = file[first];
        entry.Type = type;
        entry.Data = data;
        entry.Text = FormatValue(entry.Name, type, data);
        for (std::size_t i = file.size(); i-- > first + 1;) {
            if (file[i].EntryKind == Entry::Value &&
                file[i].Name.compare(name, Qt::CaseInsensitive) == 0)
                file.erase(file.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return;
    }
    // After the section's last value (or its header): never after raw text, which might be a
    // cut-off line that would swallow the new one.
    const std::size_t after = lastValue < file.size() ? lastValue : header;
    EnsureLineEnd(file[after]);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(after + 1),
                Entry{Entry::Value, FormatValue(name, type, data), name, type, data});
}

QByteArray Serialize(const KeyFile& file) {
    QByteArray out;
    for (const Entry& entry : file)
        out += entry.Text;
    return out;
}

// ---- Reading and rewriting files ------------------------------------------------------------

// Reads a whole key file. ERROR_BADDB for something that is not a regular file or is too
// large to be a key file; neither is ever replaced.
LONG ReadKeyFile(const QByteArray& path, QByteArray& content, struct stat* status = nullptr) {
    content.clear();
    // O_NONBLOCK: a FIFO put in the place of a key file must not hang the program.
    FdGuard fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        return ErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return ErrorFromErrno(errno);
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes)
        return ERROR_BADDB;
    if (status)
        *status = st;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return ErrorFromErrno(errno);
        }
        if (got == 0)
            break;
        if (content.size() + got > kMaxFileBytes)
            return ERROR_BADDB;
        content.append(buffer, got);
    }
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t wrote = ::write(fd, data.constData() + done, data.size() - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += wrote;
    }
    return true;
}

// Temporary files of saves that died before their rename. Only a save holding the folder's
// lock makes one, so while we hold the lock every one that exists is stale.
void RemoveStaleTemporaries(int folderFd, const QByteArray& prefix) {
    const int listFd = ::dup(folderFd);
    if (listFd < 0)
        return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    std::vector<QByteArray> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(prefix))
            stale.push_back(name);
    }
    ::closedir(dir);
    for (const QByteArray& name : stale)
        ::unlinkat(folderFd, name.constData(), 0);
}

std::atomic<unsigned> gTempCounter{0};

// change(old text, whether the file exists, new text, whether to write) decides the new
// text; it runs while the folder's lock is held, so the read-modify-write is atomic with
// respect to every other save of the store.
template <typename Change> LONG RewriteKeyFile(const KeyPlace& place, Change change) {
    QByteArray path = place.File();
    struct stat linkStatus {};
    if (::lstat(path.constData(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode)) {
        char* target = ::realpath(path.constData(), nullptr);
        if (!target)
            return ERROR_BADDB;
        path = target;
        std::free(target);
    }
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray("/");
    const QByteArray base = path.mid(slash + 1);

    FdGuard folderFd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.Get() < 0)
        return ErrorFromErrno(errno);
    while (::flock(folderFd.Get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return ErrorFromErrno(errno);
    }
    const QByteArray tempPrefix = '.' + base + ".tmp-";
    RemoveStaleTemporaries(folderFd.Get(), tempPrefix);

    QByteArray old;
    struct stat oldStatus {};
    const LONG read = ReadKeyFile(path, old, &oldStatus);
    if (read != ERROR_SUCCESS && read != ERROR_FILE_NOT_FOUND)
        return read;
    const bool exists = read == ERROR_SUCCESS;
    QByteArray next;
    bool write = false;
    const LONG decided = change(old, exists, next, write);
    if (decided != ERROR_SUCCESS)
        return decided;
    if (!write || (exists && next == old))
        return ERROR_SUCCESS;
    if (next.size() > kMaxFileBytes)
        return ERROR_NOT_ENOUGH_QUOTA;

    const QByteArray tempName = tempPrefix + QByteArray::number(::getpid()) + '-' +
                                QByteArray::number(gTempCounter.fetch_add(1));
    FdGuard tempFd(::openat(folderFd.Get(), tempName.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
    if (tempFd.Get() < 0)
        return ErrorFromErrno(errno);
    int error = 0;
    if (exists) {
        // The new file keeps the old one's mode and, when root saves, its owner.
        if (::fchmod(tempFd.Get(), oldStatus.st_mode & 07777) != 0)
            error = errno;
        if (!error && ::geteuid() == 0)
            (void)::fchown(tempFd.Get(), oldStatus.st_uid, oldStatus.st_gid);
    }
    if (!error && !WriteAll(tempFd.Get(), next))
        error = errno;
    if (!error && ::fsync(tempFd.Get()) != 0)
        error = errno;
    if (!tempFd.Close() && !error)
        error = errno;
    if (!error &&
        ::renameat(folderFd.Get(), tempName.constData(), folderFd.Get(), base.constData()) != 0)
        error = errno;
    if (error) {
        ::unlinkat(folderFd.Get(), tempName.constData(), 0);
        return ErrorFromErrno(error);
    }
    // The rename itself is only durable once the folder is flushed.
    ::fsync(folderFd.Get());
    return ERROR_SUCCESS;
}

QByteArray NewKeyFileText(const KeyPlace& place) {
    return kVersionLine + "\n\n[" + place.DisplayName() + "]\n";
}

LONG MakeFolders(const QByteArray& path) {
    if (IsDir(path))
        return ERROR_SUCCESS;
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0) {
        if (const LONG rc = MakeFolders(path.left(slash)); rc != ERROR_SUCCESS)
            return rc;
    }
    if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST)
        return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

// The first steps of an open and a create: the result cleared, the key hKey stands for looked
// up, and the names of every key from its root down to subKey.
LONG NamesBelowRoot(HKEY hKey, const QString& subKey, HKEY* phkResult, OpenKey& base,
                    QStringList& names) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    if (const LONG rc = LookUp(hKey, base); rc != ERROR_SUCCESS)
        return rc;
    if (const LONG rc = SplitKeyPath(subKey, names); rc != ERROR_SUCCESS)
        return rc;
    names = base.Place.Names + names;
    return ERROR_SUCCESS;
}

// The last step of an open and a create: a handle, when the rights asked for are granted.
LONG HandOut(const KeyPlace& place, REGSAM rights, HKEY* phkResult) {
    if (const LONG rc = CheckRights(place, rights); rc != ERROR_SUCCESS)
        return rc;
    *phkResult = Register(place, rights);
    return ERROR_SUCCESS;
}

} // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, const QString& subKey, DWORD /*ulOptions*/, REGSAM samDesired,
                      HKEY* phkResult) {
    OpenKey base;
    QStringList names;
    if (const LONG rc = NamesBelowRoot(hKey, subKey, phkResult, base, names); rc != ERROR_SUCCESS)
        return rc;
    KeyPlace place;
    if (const LONG rc = Resolve(base.Place.Root, base.Place.RootFolder, names, place);
        rc != ERROR_SUCCESS)
        return rc;
    return HandOut(place, samDesired, phkResult);
}

LSTATUS RegCreateKeyExW(HKEY hKey, const QString& subKey, DWORD /*Reserved*/,
                        const QString& /*lpClass*/, DWORD /*dwOptions*/, REGSAM samDesired,
                        const void* /*lpSecurityAttributes*/, HKEY* phkResult,
                        DWORD* lpdwDisposition) {
    OpenKey base;
    QStringList names;
    if (const LONG rc = NamesBelowRoot(hKey, subKey, phkResult, base, names); rc != ERROR_SUCCESS)
        return rc;
    KeyPlace place{base.Place.Root, base.Place.RootFolder, {}};
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (!names.isEmpty()) {
        if (const LONG rc = MakeFolders(place.RootFolder); rc != ERROR_SUCCESS)
            return rc;
    }
    QByteArray folder = place.RootFolder;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const bool last = i + 1 == names.size();
        const std::optional<QString> found = FindKey(folder, names[i]);
        const QString name = found ? *found : names[i];
        const QByteArray path = folder + '/' + EncodeName(name);
        place.Names << name;
        if (!found || (!last && !IsDir(path))) {
            // Making a key below another needs the right to change that one.
            if (!OwnerMay(folder, S_IWUSR | S_IXUSR, W_OK | X_OK))
                return ERROR_ACCESS_DENIED;
            if (!last) {
                if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST)
                    return ErrorFromErrno(errno);
            } else {
                const LONG rc = RewriteKeyFile(
                    place, [&](const QByteArray&, bool exists, QByteArray& text, bool& write) {
                        write = !exists; // another process may have made it meanwhile
                        if (write) {
                            text = NewKeyFileText(place);
                            disposition = REG_CREATED_NEW_KEY;
                        }
                        return ERROR_SUCCESS;
                    });
                if (rc != ERROR_SUCCESS)
                    return rc;
            }
        }
        folder = path;
    }
    const LONG rc = HandOut(place, samDesired, phkResult);
    if (rc == ERROR_SUCCESS && lpdwDisposition)
        *lpdwDisposition = disposition;
    return rc;
}

LSTATUS RegQueryValueExW(HKEY hKey, const QString& lpValueName, DWORD* /*lpReserved*/,
                         DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
    if (lpData && !lpcbData)
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (const LONG rc = LookUp(hKey, key); rc != ERROR_SUCCESS)
        return rc;
    if (!(key.Rights & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (key.Place.Names.isEmpty())
        return ERROR_FILE_NOT_FOUND;
    QByteArray bytes;
    const LONG read = ReadKeyFile(key.Place.File(), bytes);
    if (read == ERROR_BADDB)
        return ERROR_FILE_NOT_FOUND;
    if (read != ERROR_SUCCESS)
        return read;
    const KeyFile file = ParseKeyFile(bytes);
    const Entry* value = FindValue(file, lpValueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = value->Type;
    const auto size = static_cast<DWORD>(value->Data.size());
    if (!lpcbData)
        return ERROR_SUCCESS;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        std::copy(value->Data.cbegin(), value->Data.cend(), reinterpret_cast<char*>(lpData));
    }
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY hKey, const QString& lpValueName, DWORD /*Reserved*/, DWORD dwType,
                       const BYTE* lpData, DWORD cbData) {
    if (!lpData && cbData > 0)
        return ERROR_INVALID_PARAMETER;
    if (!IsWellFormedText(lpValueName, true))
        return ERROR_INVALID_PARAMETER;
    OpenKey key;
    if (const LONG rc = LookUp(hKey, key); rc != ERROR_SUCCESS)
        return rc;
    if (!(key.Rights & KEY_SET_VALUE) || key.Place.Names.isEmpty())
        return ERROR_ACCESS_DENIED;
    const QByteArray data(reinterpret_cast<const char*>(lpData), cbData);
    return RewriteKeyFile(
        key.Place, [&](const QByteArray& old, bool exists, QByteArray& text, bool& write) {
            KeyFile file = exists ? ParseKeyFile(old) : ParseKeyFile(NewKeyFileText(key.Place));
            SetValue(file, key.Place, lpValueName, dwType, data);
            text = Serialize(file);
            write = true;
            return ERROR_SUCCESS;
        });
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (IsRoot(hKey))
        return ERROR_SUCCESS;
    std::lock_guard lock(gHandlesMutex);
    return gHandles.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
