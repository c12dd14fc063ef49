#include "Receiver.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <linux/dvb/frontend.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class TDescriptor {
public:
    explicit TDescriptor(int fd) : FFd(fd) {}
    ~TDescriptor() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

// A well-mixed 64-bit hash, so neighbouring seconds give unrelated noise.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A number in [0, 1) drawn from the hash of `key`.
double Unit(std::uint64_t key) {
    return static_cast<double>(Mix(key) >> 11) / 9007199254740992.0;
}

} // namespace

TSnrReading ReadingOfCnrStatistic(unsigned count, unsigned scale, long long milliDb,
                                  const std::string& frontend, long& tenths, std::string& reason) {
    // A driver that never fills the statistic leaves it without values; one that has it but
    // cannot measure now (no lock) marks it "not available".
    if (count == 0) {
        reason = frontend + " gives no carrier-to-noise ratio";
        return srUnusable;
    }
    if (scale == FE_SCALE_NOT_AVAILABLE) {
        reason = frontend + " has no carrier-to-noise ratio now (no signal lock)";
        return srNoLock;
    }
    if (scale != FE_SCALE_DECIBEL) {
        reason = frontend + " gives no carrier-to-noise ratio in dB";
        return srUnusable;
    }
    // 0.001 dB steps to tenths, rounded half away from zero.
    tenths = static_cast<long>(milliDb >= 0 ? (milliDb + 50) / 100 : (milliDb - 50) / 100);
    return srValue;
}

TSnrReading ReadFrontendSnr(const std::string& dvbRoot, int adapter, long& tenths,
                            std::string& reason) {
    const std::string path = dvbRoot + "/adapter" + std::to_string(adapter) + "/frontend0";
    // Read-only: statistics need no write access, and a read-only open does not disturb the
    // program that has the frontend tuned.
    TDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        reason = "cannot open " + path + ": " + std::strerror(errno);
        return srUnusable;
    }
    dtv_property property{};
    property.cmd = DTV_STAT_CNR;
    dtv_properties properties{};
    properties.num = 1;
    properties.props = &property;
    if (::ioctl(fd.Get(), FE_GET_PROPERTY, &properties) != 0) {
        reason = "cannot read the carrier-to-noise ratio of " + path + ": " + std::strerror(errno);
        return srUnusable;
    }
    return ReadingOfCnrStatistic(property.u.st.len, property.u.st.stat[0].scale,
                                 property.u.st.stat[0].svalue, path, tenths, reason);
}

long SimulatedSnr(std::time_t utcSeconds, int adapter, int dipCentre) {
    const std::int64_t seconds = utcSeconds;
    const std::int64_t day = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t secondOfDay = seconds - day * 86400;

    const bool second = adapter != 0;
    const double baseline = second ? 10.6 : 12.2;
    // The outage is a little deeper on some days than on others, the same on every run.
    const double depth =
        (3.0 + 2.0 * Unit(static_cast<std::uint64_t>(day) * 4 + 1)) * (second ? 0.85 : 1.0);
    const std::int64_t centre = dipCentre + (second ? 40 : 0);
    // Distance to the nearest daily centre, so a dip near midnight spans both days.
    std::int64_t offset = (secondOfDay - centre) % 86400;
    if (offset > 43200)
        offset -= 86400;
    if (offset < -43200)
        offset += 86400;
    const double width = 150.0; // seconds: the dip is a few dB down for about ten minutes
    const double shape = std::exp(-0.5 * (offset / width) * (offset / width));
    const double noise =
        0.3 * (Unit(static_cast<std::uint64_t>(seconds) * 2 + (second ? 1 : 0)) - 0.5);
    return std::lround((baseline - depth * shape + noise) * 10.0);
}
