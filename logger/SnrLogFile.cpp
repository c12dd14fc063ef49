#include "SnrLogFile.h"

#include "ansi.h"
#include "formats.h"
#include "textfile.h"

#include <QFileInfo>

QString SnrLogFileName(TDateTime namingTime) {
    // "-" is no pattern character, so the date keeps its hyphens under every locale.
    return QStringLiteral("snr-log-") + FormatDateTime(QStringLiteral("yyyy-mm-dd"), namingTime) +
           QStringLiteral(".log");
}

void AddSnrLogLine(TDateTime namingTime, const QString& line) {
    TTextFile file(SnrLogFileName(namingTime));
    if (!QFileInfo::exists(file.FileName())) {
        file.Create();
        file.Close();
    }
    file.Append();
    // Should the write fail, the destructor closes the file on the way out.
    file.WriteLine(StringToAnsi(line));
    file.Close();
}
