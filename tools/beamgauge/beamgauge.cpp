// beamgauge: prints a satellite receiver's SNR in tenths of a dB on its first line.
// See usage() for the arguments and the environment switches.
#include "Receiver.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/dvb/frontend.h>
#include <string>
#include <unistd.h>

namespace {

const char* const Usage = R"(Usage: beamgauge snr [DEVICE]
       beamgauge --help

Prints the receiver's signal-to-noise ratio (the DVB frontend's carrier-to-noise
statistic) in tenths of a dB, as a whole number on the first line of standard
output, and exits 0. DEVICE is the DVB adapter number (default 0): "beamgauge snr"
reads /dev/dvb/adapter0/frontend0, "beamgauge snr 1" reads adapter 1.
A frontend that is there but has no value at the moment (no signal lock) answers
0 and exits 0, with the reason on standard error: a logger writes it as 0.0 and
keeps running, and a plotter that takes only values above 0 leaves it out.
Without a usable frontend (none there, not accessible, no carrier-to-noise
statistic in dB) nothing is printed on standard output, the reason goes to
standard error and the exit status is 1. Wrong arguments: exit status 2.

Environment:
  BEAMGAUGE_SIMULATE=1          simulate a receiver instead of reading a frontend:
                                about 12 dB (device 1: about 10.5 dB) with a little
                                noise, dipping by 3 to 5 dB for some minutes around a
                                daily centre time. The noise is fixed for each second,
                                so a given time always gives the same value.
  BEAMGAUGE_DIP_CENTRE=hh:mm[:ss]  centre of the simulated daily dip, UTC
                                (default 11:03:30; device 1 dips 40 s later)
  BEAMGAUGE_TIME=YYYY-MM-DDThh:mm:ss  the UTC time the simulation reads instead of
                                the clock (also "YYYY-MM-DD hh:mm:ss")
  BEAMGAUGE_DVB_ROOT=DIR        look for adapters in DIR instead of /dev/dvb

Test switches:
  BEAMGAUGE_OUTPUT=TEXT         print TEXT instead of a measurement, exactly, without
                                adding a line end; \n, \r, \t and \\ stand for line
                                feed, carriage return, tab and backslash. Set but
                                empty: print nothing.
  BEAMGAUGE_GARBAGE=1           print a line that is no number, with bytes that are
                                not valid UTF-8
  BEAMGAUGE_NO_LOCK=1           answer as a frontend that has lost its signal lock
  BEAMGAUGE_DELAY_MS=N          wait N milliseconds before answering
  BEAMGAUGE_HANG=1              after answering, never end (until killed)
  BEAMGAUGE_EXIT=N              end with exit status N whatever happened
  BEAMGAUGE_ARGS_FILE=PATH      append the arguments of each run to PATH, one line
                                per run, separated by single spaces
A switch given as 0 or empty is off (except BEAMGAUGE_OUTPUT). BEAMGAUGE_OUTPUT
comes before BEAMGAUGE_GARBAGE, then BEAMGAUGE_NO_LOCK, then BEAMGAUGE_SIMULATE.
)";

bool SwitchOn(const char* name) {
    const char* value = std::getenv(name);
    return value && *value && std::strcmp(value, "0") != 0;
}

// A whole number of at most nine digits; false for anything else.
bool ParseCount(const char* text, long& value) {
    if (!text || !*text || std::strlen(text) > 9)
        return false;
    long result = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        result = result * 10 + (*p - '0');
    }
    value = result;
    return true;
}

// The number spelt by `count` ASCII digits at `text`; -1 when one of them is not a digit.
int Digits(const char* text, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "hh:mm" or "hh:mm:ss" to seconds after midnight.
bool ParseClock(const char* text, int& seconds) {
    const std::size_t length = std::strlen(text);
    if ((length != 5 && length != 8) || text[2] != ':' || (length == 8 && text[5] != ':'))
        return false;
    const int h = Digits(text, 2);
    const int m = Digits(text + 3, 2);
    const int s = length == 8 ? Digits(text + 6, 2) : 0;
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return false;
    seconds = h * 3600 + m * 60 + s;
    return true;
}

// "YYYY-MM-DDThh:mm:ss" or "YYYY-MM-DD hh:mm:ss", UTC.
bool ParseInstant(const char* text, std::time_t& result) {
    if (std::strlen(text) != 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != ' '))
        return false;
    int secondOfDay = 0;
    if (!ParseClock(std::string(text + 11).c_str(), secondOfDay))
        return false;
    const int year = Digits(text, 4);
    const int month = Digits(text + 5, 2);
    const int day = Digits(text + 8, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    result = timegm(&utc) + secondOfDay;
    return true;
}

std::string Unescape(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p != '\\' || !p[1]) {
            out += *p;
            continue;
        }
        switch (*++p) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += *p;
        }
    }
    return out;
}

void PauseMs(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
}

void LogArguments(const char* path, int argc, char** argv) {
    std::FILE* file = std::fopen(path, "a");
    if (!file) {
        std::fprintf(stderr, "beamgauge: cannot open %s: %s\n", path, std::strerror(errno));
        return;
    }
    for (int i = 1; i < argc; ++i)
        std::fprintf(file, i > 1 ? " %s" : "%s", argv[i]);
    std::fputc('\n', file);
    std::fclose(file);
}

// Prints what the frontend's reading gives and answers the exit status.
int Answer(TSnrReading reading, long tenths, const std::string& reason) {
    switch (reading) {
    case srValue:
        std::printf("%ld\n", tenths);
        return 0;
    case srNoLock:
        // Losing lock is what an outage does at its deepest: an answer, not a failure, so a
        // logger keeps running through it.
        std::fprintf(stderr, "beamgauge: %s; answering 0\n", reason.c_str());
        std::printf("0\n");
        return 0;
    case srUnusable:
        break;
    }
    std::fprintf(stderr, "beamgauge: %s\n", reason.c_str());
    return 1;
}

int Measure(int adapter) {
    if (const char* output = std::getenv("BEAMGAUGE_OUTPUT")) {
        const std::string text = Unescape(output);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    if (SwitchOn("BEAMGAUGE_GARBAGE")) {
        std::fputs("snr=?? \xff\xfe\x01 #garbage#\n", stdout);
        return 0;
    }
    if (SwitchOn("BEAMGAUGE_NO_LOCK")) {
        // The statistic as a driver gives it while the frontend has no lock.
        long tenths = 0;
        std::string reason;
        const TSnrReading reading = ReadingOfCnrStatistic(
            1, FE_SCALE_NOT_AVAILABLE, 0,
            "the simulated frontend of adapter " + std::to_string(adapter), tenths, reason);
        return Answer(reading, tenths, reason);
    }
    if (SwitchOn("BEAMGAUGE_SIMULATE")) {
        int centre = DefaultDipCentre;
        if (const char* text = std::getenv("BEAMGAUGE_DIP_CENTRE"); text && *text) {
            if (!ParseClock(text, centre)) {
                std::fprintf(stderr, "beamgauge: BEAMGAUGE_DIP_CENTRE must be hh:mm or hh:mm:ss\n");
                return 2;
            }
        }
        std::time_t now = std::time(nullptr);
        if (const char* text = std::getenv("BEAMGAUGE_TIME"); text && *text) {
            if (!ParseInstant(text, now)) {
                std::fprintf(stderr, "beamgauge: BEAMGAUGE_TIME must be YYYY-MM-DDThh:mm:ss\n");
                return 2;
            }
        }
        std::printf("%ld\n", SimulatedSnr(now, adapter, centre));
        return 0;
    }
    const char* root = std::getenv("BEAMGAUGE_DVB_ROOT");
    long tenths = 0;
    std::string reason;
    const TSnrReading reading =
        ReadFrontendSnr(root && *root ? root : "/dev/dvb", adapter, tenths, reason);
    return Answer(reading, tenths, reason);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(Usage, stdout);
        return 0;
    }
    long adapter = 0;
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "snr") != 0 ||
        (argc == 3 && (!ParseCount(argv[2], adapter) || adapter > 255))) {
        std::fputs("beamgauge: expected \"snr\" or \"snr DEVICE\"; see beamgauge --help\n", stderr);
        return 2;
    }
    if (const char* path = std::getenv("BEAMGAUGE_ARGS_FILE"); path && *path)
        LogArguments(path, argc, argv);

    long delay = 0;
    if (const char* text = std::getenv("BEAMGAUGE_DELAY_MS"); text && *text) {
        if (!ParseCount(text, delay)) {
            std::fputs("beamgauge: BEAMGAUGE_DELAY_MS must be a whole number\n", stderr);
            return 2;
        }
        PauseMs(delay);
    }

    int status = Measure(static_cast<int>(adapter));
    std::fflush(stdout);

    if (SwitchOn("BEAMGAUGE_HANG")) {
        for (;;)
            pause();
    }
    if (const char* text = std::getenv("BEAMGAUGE_EXIT"); text && *text) {
        long code = 0;
        if (!ParseCount(text, code) || code > 255) {
            std::fputs("beamgauge: BEAMGAUGE_EXIT must be 0 to 255\n", stderr);
            return 2;
        }
        status = static_cast<int>(code);
    }
    return status;
}
