#include "engine/reference/ReferenceEngine.h"

#include "engine/FastMath.h"

namespace engine {

namespace {

// Position of a tap in a line of `length` samples, for a position at most one length outside it.
inline int Wrap(int position, int length) {
    if (position < 0)
        return position + length;
    if (position >= length)
        return position - length;
    return position;
}

// Four-point cubic (Catmull-Rom) read between y0 (t = 0) and the older neighbour y1 (t = 1); ym1 is the
// newer neighbour and y2 the older one beyond y1.
inline float ReadCubic(double ym1, double y0, double y1, double y2, double t) {
    return static_cast<float>(y0 + 0.5 * t *
                                       ((y1 - ym1) + t * ((4.0 * y1 + 2.0 * ym1 - 5.0 * y0 - y2) +
                                                          t * (3.0 * (y0 - y1) - ym1 + y2))));
}

} // namespace

void ReferenceEngine::RestartLfos(const EngineSnapshot& values) noexcept {
    for (int k = 0; k < kLfoCount; ++k)
        Lfos[k].SetPhase(values.SyncOf[k]);
}

void ReferenceEngine::ServeFill(bool requested, float value, int budget) noexcept {
    if (requested)
        clearing_.Start(value, WritePos);
    clearing_.Step(DelayLineL.data(), DelayLineR.data(), budget);
}

EngineStates ReferenceEngine::States() const noexcept {
    auto& self = const_cast<ReferenceEngine&>(*this);
    return {self.FiltersL,
            self.FiltersR,
            self.Lfos,
            self.LfoSmoothers,
            self.LfoOut.data(),
            self.SyncInput.data(),
            self.FeedbackTapL.data(),
            self.FeedbackTapR.data(),
            self.VoiceOutL.data(),
            self.VoiceOutR.data()};
}

bool ReferenceEngine::StatesFinite() const noexcept {
    return engine::StatesFinite(States());
}

void ReferenceEngine::ResetNonFiniteStates(const EngineSnapshot& values) noexcept {
    const std::uint32_t lfosReset = engine::ResetNonFiniteStates(States(), values);
    for (int k = 0; k < kLfoCount; ++k)
        if (lfosReset & (1u << k))
            ShapeOutputs[k] = {};
    clearing_.Start(0.0f, WritePos);
}

// Every float the engine keeps is rounded from a double by a plain conversion; each expression is
// evaluated in double, operation by operation.
// While a fill is being written, every read checks whether its position is already valid; otherwise
// the frames carry no such check.
void ReferenceEngine::Render(const BlockContext& block, const float* inL, const float* inR, float* outL,
                             float* outR, int frames) noexcept {
    if (clearing_.Active())
        RenderFrames<true>(block, inL, inR, outL, outR, frames);
    else
        RenderFrames<false>(block, inL, inR, outL, outR, frames);
}

template <bool kFilling>
void ReferenceEngine::RenderFrames(const BlockContext& block, const float* inL, const float* inR, float* outL,
                                   float* outR, int frames) {
    const EngineSnapshot& e = *block.values;
    const float sampleRate = block.sampleRate;
    const int length = block.bufferLength; // kMinBufferLength .. kDelayCapacity
    const double mix = e.Mix;

    for (int j = 0; j < frames; ++j) {
        if (WritePos > length - 1) {
            WritePos = 0;
            if constexpr (kFilling)
                clearing_.WriterWrapped();
        }

        // A sample that is not a finite number would stay in the feedback loop for good: take it as
        // silence, and keep huge finite ones from overflowing further on.
        const float inputL = EngineInput(inL[j]);
        const float inputR = EngineInput(inR[j]);

        // The feedback sum of all eight voices, on or off, through a sine: a soft limiter that folds
        // back above pi/2.
        double feedbackL = 0.0;
        double feedbackR = 0.0;
        for (int k = 0; k < kVoiceCount; ++k) {
            feedbackL += static_cast<double>(FeedbackTapL[k]) * e.Feeds[k];
            feedbackR += static_cast<double>(FeedbackTapR[k]) * e.Feeds[k];
        }
        DelayLineL[WritePos] = static_cast<float>(PortableSin(feedbackL) * block.feedbackScale +
                                                  static_cast<double>(inputL) * e.InpGain);
        DelayLineR[WritePos] = static_cast<float>(PortableSin(feedbackR) * block.feedbackScale +
                                                  static_cast<double>(inputR) * e.InpGain);
        if constexpr (kFilling)
            clearing_.Wrote(WritePos);

        StepLfos(block);

        for (int k = 0; k < kVoiceCount; ++k) {
            if (e.Pow[k] == 0) {
                VoiceOutL[k] = 0.0f;
                VoiceOutR[k] = 0.0f;
                continue;
            }

            float gainL = static_cast<float>(1.0 - e.Pan[k]);
            float gainR = e.Pan[k];
            if (e.ModPanAmp[k] > 0.0f) {
                const double m = LfoOut[e.ModPanIx[k]];
                gainL = static_cast<float>((1.0 - m * e.ModPanAmp[k]) * gainL);
                gainR = static_cast<float>((1.0 - (1.0 - m) * e.ModPanAmp[k]) * gainR);
            }

            // Modulation only shortens the delay. The bound keeps every tap inside the line even if
            // an LFO value ever left 0..1.
            float delay =
                static_cast<float>((1.0 - static_cast<double>(LfoOut[e.ModDelIx[k]]) * e.ModDelAmp[k]) *
                                   (length - 1) * e.Delay[k]);
            if (!(delay >= 0.0f))
                delay = 0.0f;
            else if (delay > static_cast<float>(length - 1))
                delay = static_cast<float>(length - 1);
            const int whole = FastTrunc(delay);
            const float t = static_cast<float>(static_cast<double>(delay) - whole);

            const int r0 = Wrap(WritePos - whole, length);
            const int rm1 = Wrap(r0 + 1, length); // one frame newer; the oldest sample when whole = 0
            const int r1 = Wrap(r0 - 1, length);
            const int r2 = Wrap(r1 - 1, length);
            if constexpr (kFilling) {
                // A position not yet written or cleared since the fill request reads the fill value.
                const float fill = clearing_.Value();
                const bool vm1 = clearing_.Valid(rm1), v0 = clearing_.Valid(r0), v1 = clearing_.Valid(r1),
                           v2 = clearing_.Valid(r2);
                VoiceOutL[k] = ReadCubic(vm1 ? DelayLineL[rm1] : fill, v0 ? DelayLineL[r0] : fill,
                                         v1 ? DelayLineL[r1] : fill, v2 ? DelayLineL[r2] : fill, t);
                VoiceOutR[k] = ReadCubic(vm1 ? DelayLineR[rm1] : fill, v0 ? DelayLineR[r0] : fill,
                                         v1 ? DelayLineR[r1] : fill, v2 ? DelayLineR[r2] : fill, t);
            } else {
                VoiceOutL[k] = ReadCubic(DelayLineL[rm1], DelayLineL[r0], DelayLineL[r1], DelayLineL[r2], t);
                VoiceOutR[k] = ReadCubic(DelayLineR[rm1], DelayLineR[r0], DelayLineR[r1], DelayLineR[r2], t);
            }

            const int code = e.FType[k];
            if (code != 0) {
                const float pitch = static_cast<float>(
                    (1.0 - static_cast<double>(LfoOut[e.ModFrqIx[k]]) * e.ModFrqAmp[k]) * e.Freq[k]);
                const float frequency = PitchToFreq.Convert(pitch);
                FiltersL[k].Filter(VoiceOutL[k], frequency, e.Res[k], sampleRate);
                FiltersR[k].Filter(VoiceOutR[k], frequency, e.Res[k], sampleRate);
                VoiceOutL[k] = FilterMixOutput(FiltersL[k], code);
                VoiceOutR[k] = FilterMixOutput(FiltersR[k], code);
            }

            // Post-filter, before pan and amplitude; the 1e-8 keeps the loop out of denormal numbers.
            FeedbackTapL[k] = static_cast<float>(static_cast<double>(VoiceOutL[k]) + 1e-8);
            FeedbackTapR[k] = static_cast<float>(static_cast<double>(VoiceOutR[k]) + 1e-8);

            const float amplitude = static_cast<float>(
                (1.0 - static_cast<double>(LfoOut[e.ModAmpIx[k]]) * e.ModAmpAmp[k]) * e.Amp[k]);
            VoiceOutL[k] = static_cast<float>(static_cast<double>(VoiceOutL[k]) * gainL * amplitude);
            VoiceOutR[k] = static_cast<float>(static_cast<double>(VoiceOutR[k]) * gainR * amplitude);
        }

        double wetL = 0.0;
        double wetR = 0.0;
        for (int k = 0; k < kVoiceCount; ++k) {
            wetL += VoiceOutL[k];
            wetR += VoiceOutR[k];
        }
        // The dry part bypasses the input gain but not the voice-count scale.
        outL[j] = static_cast<float>((wetL * mix + (1.0 - mix) * inputL) * e.OutGain * block.activeScale);
        outR[j] = static_cast<float>((wetR * mix + (1.0 - mix) * inputR) * e.OutGain * block.activeScale);

        ++WritePos;
    }
}

void ReferenceEngine::StepLfos(const BlockContext& block) {
    const EngineSnapshot& e = *block.values;
    for (int k = 0; k < kLfoCount; ++k) {
        const int shape = e.Shape[k];
        if (shape == 0) // off: not advanced, holds its output
            continue;
        TmultiAll& lfo = Lfos[k];
        lfo.Advance(block.lfoRate[k], block.sampleRate);
        // Hard sync acts one frame late: the source's value was taken at the previous step, and this
        // frame's outputs still come from the phase before the restart.
        if (SyncInput[k] == 1.0f)
            lfo.SetPhase(e.SyncOf[k]);
        std::array<float, 8>& outputs = ShapeOutputs[k];
        outputs[0] = 0.0f;
        outputs[1] = lfo.parabolic;
        outputs[2] = lfo.triangle;
        outputs[3] = lfo.risingSaw;
        outputs[4] = lfo.fallingSaw;
        outputs[5] = lfo.square;
        outputs[6] = lfo.random;
        const float bipolar = outputs[static_cast<std::size_t>(shape)];
        // A lower-numbered source has already stepped in this frame (unsmoothed value); a higher-numbered
        // one still shows its final value of the previous frame.
        const int source = e.SyncIx[k];
        SyncInput[k] = source == k ? 0.0f : LfoOut[source];
        LfoOut[k] = static_cast<float>((static_cast<double>(bipolar) + 1.0) * 0.5);
    }
    for (int k = 0; k < kLfoCount; ++k) {
        if (e.SmoothFreq[k] > 0.0f && e.Shape[k] != 0) {
            LfoSmoothers[k].Filter(LfoOut[k], e.SmoothFreq[k], block.sampleRate);
            LfoOut[k] = LfoSmoothers[k].output;
        }
    }
}

} // namespace engine
