#pragma once

#include "presets/FxpFile.h"

#include <string>
#include <vector>

namespace vorelan {

// The preset library's source table (presets/library/presets.txt), read into presets. The table is
// plain text. "[Name]" starts a preset, which begins as the factory program; each line after it sets
// parameters by name:
//
//   Mix = 0.4                      one parameter
//   Delay* = 0.1                   the same value for all eight voices (or LFOs)
//   Pan* = 0 1 0.2 0.8 0 1 0.4 0.6 one value each, voice (or LFO) 1 first
//
// A value is a number from 0 to 1, a fraction (3/7), or a name: on/off for switches, none, lowpass,
// bandpass or highpass for FType, Off, Parabolic, Triangular, SawDown, SawUp, Square or Random for
// Shape, Lfo1..Lfo8 for the modulation sources and SyncIx (which also takes none). "#" starts a
// comment. Names are UTF-8 in the table and must become file names on every system.

struct LibraryPreset {
    std::string name; // Windows-1252, as a preset file stores it
    presets::ParameterValues values{};
    int line = 0; // of its [Name] in the table
};

// The presets in table order. Any mistake throws std::runtime_error with the file and line it is on.
std::vector<LibraryPreset> ReadPresetTable(const std::string& path);

} // namespace vorelan
