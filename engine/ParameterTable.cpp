#include "engine/ParameterTable.h"

#include "engine/FastMath.h"

namespace engine {

namespace {

std::uint8_t Index7(float x) {
    return static_cast<std::uint8_t>(RoundEven(7.0f * x));
}

} // namespace

namespace conversion {

// Stored as it is: the length in samples also needs the sample rate, which only the audio thread
// knows for sure (BufferLengthFor).
void BufferSize(EngineSnapshot& e, int, float x) {
    e.BufferSize = x;
}
void Mix(EngineSnapshot& e, int, float x) {
    e.Mix = x;
}
void OutGain(EngineSnapshot& e, int, float x) {
    e.OutGain = static_cast<float>(1.2 * x);
}
void InpGain(EngineSnapshot& e, int, float x) {
    e.InpGain = static_cast<float>(1.4 * x);
}
void Quality(EngineSnapshot& e, int, float x) {
    e.Quality = static_cast<std::uint8_t>(RoundEven(x));
}

void Pow(EngineSnapshot& e, int v, float x) {
    e.Pow[v] = static_cast<std::uint8_t>(RoundEven(x));
}
void Delay(EngineSnapshot& e, int v, float x) {
    e.Delay[v] = x;
}
void ModDelIx(EngineSnapshot& e, int v, float x) {
    e.ModDelIx[v] = Index7(x);
}
void ModDelAmp(EngineSnapshot& e, int v, float x) {
    e.ModDelAmp[v] = x;
}
void Pan(EngineSnapshot& e, int v, float x) {
    e.Pan[v] = x;
}
// The pan source alone rounds halves upward.
void ModPanIx(EngineSnapshot& e, int v, float x) {
    e.ModPanIx[v] = static_cast<std::uint8_t>(FastRound(7.0f * x));
}
void ModPanAmp(EngineSnapshot& e, int v, float x) {
    e.ModPanAmp[v] = x;
}
// Filter code 0 none, 3 low-pass, 6 band-pass, 9 high-pass.
void FType(EngineSnapshot& e, int v, float x) {
    e.FType[v] = static_cast<std::uint8_t>(3 * RoundEven(3.0f * x));
}
// Cut-off pitch in semitones, 15..130.
void Freq(EngineSnapshot& e, int v, float x) {
    e.Freq[v] = static_cast<float>(15.0 + 115.0 * x);
}
void ModFrqIx(EngineSnapshot& e, int v, float x) {
    e.ModFrqIx[v] = Index7(x);
}
void ModFrqAmp(EngineSnapshot& e, int v, float x) {
    e.ModFrqAmp[v] = x;
}
void Res(EngineSnapshot& e, int v, float x) {
    e.Res[v] = static_cast<float>(0.97 * x);
}
void Amp(EngineSnapshot& e, int v, float x) {
    e.Amp[v] = x;
}
void ModAmpIx(EngineSnapshot& e, int v, float x) {
    e.ModAmpIx[v] = Index7(x);
}
void ModAmpAmp(EngineSnapshot& e, int v, float x) {
    e.ModAmpAmp[v] = x;
}
void Feeds(EngineSnapshot& e, int v, float x) {
    e.Feeds[v] = static_cast<float>((2.0 * x - 1.0) * 0.99);
}

void Shape(EngineSnapshot& e, int l, float x) {
    e.Shape[l] = static_cast<std::uint8_t>(RoundEven(6.0f * x));
}
void HostSync(EngineSnapshot& e, int l, float x) {
    e.HostSync[l] = static_cast<std::uint8_t>(RoundEven(x));
}
void LfoFreq(EngineSnapshot& e, int l, float x) {
    e.LfoFreq[l] = static_cast<float>(10.0 * x);
}
void SyncIx(EngineSnapshot& e, int l, float x) {
    e.SyncIx[l] = Index7(x);
}
void SyncOf(EngineSnapshot& e, int l, float x) {
    e.SyncOf[l] = static_cast<float>(x - 0.5);
}
// Smoothing cut-off 10 - 10 x Hz; both ends of the range mean no smoothing (0).
void Smooth(EngineSnapshot& e, int l, float x) {
    e.SmoothFreq[l] = x > 0 ? static_cast<float>(10.0 - 10.0 * x) : 0.0f;
}

} // namespace conversion

// A rate above 348 kHz would overrun the line's capacity, and a rate near 0 would leave no line.
std::int32_t BufferLengthFor(float bufferSize, float sampleRate) {
    const double samples = (0.99 * bufferSize + 0.01) * static_cast<double>(sampleRate) * 2.0;
    if (!(samples > kMinBufferLength)) // also a NaN rate
        return kMinBufferLength;
    if (samples < kDelayCapacity)
        return RoundEvenDouble(samples);
    return kDelayCapacity;
}

void ConvertParameter(EngineSnapshot& e, int index, float x) {
    if (index < 0 || index >= kParameterCount)
        return;
    // Every stored value is clamped already; this keeps a direct caller from pushing an index kind out of
    // its range.
    const ParameterInfo& p = kParameters[index];
    p.convert(e, p.number, ClampParameter(x));
}

} // namespace engine
