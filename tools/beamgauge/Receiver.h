// What beamgauge measures: the SNR of a real DVB frontend, or of a simulated receiver.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// What a frontend answers when asked for its carrier-to-noise ratio.
enum TSnrReading {
    srValue,   // a value in dB
    srNoLock,  // the frontend is there and has the statistic, but no value now: no signal lock
    srUnusable // no such frontend, not accessible, or no statistic in dB from its driver
};

// Reads the carrier-to-noise statistic of /dev/dvb/adapterN/frontend0 (below `dvbRoot` in place
// of /dev/dvb). srValue with the value in tenths of a dB (rounded); otherwise `reason` says why.
TSnrReading ReadFrontendSnr(const std::string& dvbRoot, int adapter, long& tenths,
                            std::string& reason);

// The reading that the statistic as the driver gives it means: the number of values, the scale
// of the first (FE_SCALE_...) and its value in 0.001 dB. `frontend` names it in `reason`.
TSnrReading ReadingOfCnrStatistic(unsigned count, unsigned scale, long long milliDb,
                                  const std::string& frontend, long& tenths, std::string& reason);

// The simulated receiver: a steady SNR with a little noise that dips by a few dB for some
// minutes around `dipCentre` (seconds after midnight UTC) every day. The same instant and
// adapter always give the same value; adapter 1 sits a little lower and dips a little later
// and less than adapter 0. Result in tenths of a dB.
long SimulatedSnr(std::time_t utcSeconds, int adapter, int dipCentre);

// The default daily centre of the simulated dip, 11:03:30 UTC.
constexpr int DefaultDipCentre = 11 * 3600 + 3 * 60 + 30;
