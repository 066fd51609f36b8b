#pragma once

#include <array>
#include <string>

namespace vorelan {

// Parameter values in their own units — milliseconds, hertz, decibels, shape and filter names, LFO
// numbers — for people reading `vorelan info`, `preset show` and docs/parameters.md. The plug-in tells
// a host only the stored 0..1 value ("0.50"); these readings are worked out here from the parameter
// table's own conversions, so they show exactly what the engine does with the value.

using ParameterSet = std::array<float, 181>;

// The factory program's 181 values.
ParameterSet FactoryValues();

// The reading of parameter `index` within the whole set, since some readings depend on other
// parameters (a delay on BufferSize, an LFO rate on that LFO's HostSync). Times are given at
// 44,100 Hz; at other rates they differ by less than a sample.
std::string ReadableValue(const ParameterSet& values, int index);

// The Markdown reference of every parameter: its index, range in units, factory value and meaning.
// docs/parameters.md holds this text.
std::string ParameterReference();

} // namespace vorelan
