// What beamgauge measures: the SNR of a real DVB frontend, or of a simulated receiver.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Reads the carrier-to-noise statistic of /dev/dvb/adapterN/frontend0 (below `dvbRoot` in place
// of /dev/dvb) in decibel scale. True with the value in tenths of a dB (rounded); false with
// `reason` saying why when there is no such frontend, it cannot be opened, or it gives no
// decibel value (no signal lock, or a driver without the statistic).
bool ReadFrontendSnr(const std::string& dvbRoot, int adapter, long& tenths, std::string& reason);

// The simulated receiver: a steady SNR with a little noise that dips by a few dB for some
// minutes around `dipCentre` (seconds after midnight UTC) every day. The same instant and
// adapter always give the same value; adapter 1 sits a little lower and dips a little later
// and less than adapter 0. Result in tenths of a dB.
long SimulatedSnr(std::time_t utcSeconds, int adapter, int dipCentre);

// The default daily centre of the simulated dip, 11:03:30 UTC.
constexpr int DefaultDipCentre = 11 * 3600 + 3 * 60 + 30;
