#include "formats.h"

#include <QStringDecoder>

#include <langinfo.h>
#include <locale.h>

namespace {

// A locale object of our own, so the process's C locale (which Qt and the C library share) is
// never switched just to read the user's formats.
class TLocaleHandle {
public:
    TLocaleHandle(int categoryMask) {
        FLocale = newlocale(categoryMask | LC_CTYPE_MASK, "", locale_t(0));
        if (FLocale == locale_t(0))
            FLocale = newlocale(categoryMask | LC_CTYPE_MASK, "C", locale_t(0));
    }
    ~TLocaleHandle() {
        if (FLocale != locale_t(0))
            freelocale(FLocale);
    }
    TLocaleHandle(const TLocaleHandle&) = delete;
    TLocaleHandle& operator=(const TLocaleHandle&) = delete;

    bool IsValid() const { return FLocale != locale_t(0); }

    // The item as text, decoded by the locale's own character set.
    QString Item(nl_item item) const {
        const char* bytes = nl_langinfo_l(item, FLocale);
        if (!bytes)
            return QString();
        QStringDecoder decoder(nl_langinfo_l(CODESET, FLocale));
        if (!decoder.isValid())
            return QString::fromLocal8Bit(bytes);
        return decoder.decode(QByteArray(bytes));
    }

private:
    locale_t FLocale = locale_t(0);
};

// The first separator between two fields of a strftime format: "%d.%m.%Y" gives ".". The
// composite fields stand for their own separators: %D is "%m/%d/%y", %F "%Y-%m-%d", %T and %R
// use ":". Modifiers (%Ey, %Od) and padding flags (%-d) belong to the field.
QChar FirstSeparator(const QString& format, QChar fallback) {
    bool seenField = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%') {
            ++i;
            while (i < format.size() && QStringView(u"EO_-0^#").contains(format.at(i)))
                ++i;
            if (i >= format.size())
                break;
            const QChar field = format.at(i);
            if (field == u'D')
                return u'/';
            if (field == u'F')
                return u'-';
            if (field == u'T' || field == u'R')
                return u':';
            if (field == u'%')
                continue;
            seenField = true;
            continue;
        }
        if (seenField && !c.isSpace())
            return c;
    }
    return fallback;
}

} // namespace

TFormatSettings LocaleFormatSettings() {
    TFormatSettings settings;

    const TLocaleHandle time(LC_TIME_MASK);
    if (time.IsValid()) {
        settings.DateSeparator = FirstSeparator(time.Item(D_FMT), settings.DateSeparator);
        settings.TimeSeparator = FirstSeparator(time.Item(T_FMT), settings.TimeSeparator);
        const nl_item months[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                    ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
        QStringList names;
        for (nl_item item : months)
            names.append(time.Item(item));
        if (!names.contains(QString()))
            settings.ShortMonthNames = names;
    }

    const TLocaleHandle numeric(LC_NUMERIC_MASK);
    if (numeric.IsValid()) {
        const QString radix = numeric.Item(RADIXCHAR);
        if (!radix.isEmpty())
            settings.DecimalSeparator = radix.at(0);
    }
    return settings;
}
