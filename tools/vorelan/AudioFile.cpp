#include "tools/vorelan/AudioFile.h"

#include "tools/vorelan/ToolError.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace vorelan {

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string lowerExtension(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    const std::string::size_type slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

int AudioFormatFor(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".wav")
        return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == ".flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == ".aiff" || extension == ".aif")
        return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
    if (extension == ".ogg")
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    return 0;
}

AudioFile ReadAudioFile(const std::string& path) {
    SF_INFO info{};
    SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw ToolError("cannot read the audio file \"" + path + "\": " + sf_strerror(nullptr));
    if (info.channels < 1 || info.channels > 2)
        throw ToolError("the audio file \"" + path + "\" has " + std::to_string(info.channels) +
                        " channels; the effect takes mono or stereo");
    if (info.samplerate <= 0)
        throw ToolError("the audio file \"" + path + "\" has no valid sample rate");

    AudioFile audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    std::vector<float> interleaved;
    std::vector<float> chunk(static_cast<std::size_t>(4096) * info.channels);
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), chunk.data(), 4096);
        if (got <= 0)
            break;
        interleaved.insert(interleaved.end(), chunk.begin(), chunk.begin() + got * info.channels);
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        throw ToolError("cannot read the audio file \"" + path + "\": " + sf_strerror(file.get()));
    const std::size_t frames = interleaved.size() / info.channels;
    audio.signal.left.resize(frames);
    audio.signal.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        audio.signal.left[i] = interleaved[i * info.channels];
        audio.signal.right[i] = interleaved[i * info.channels + info.channels - 1]; // mono: the same
    }
    return audio;
}

void WriteAudioFile(const std::string& path, const StereoSignal& signal, int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = AudioFormatFor(path);
    if (info.format == 0)
        throw UsageError("unknown output format for \"" + path + "\": use .wav, .flac, .aiff or .ogg");
    if (!sf_format_check(&info))
        throw ToolError("the format of \"" + path + "\" cannot hold " + std::to_string(sampleRate) +
                        " Hz audio");
    SndfileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
    if (!file)
        throw ToolError("cannot write the audio file \"" + path + "\": " + sf_strerror(nullptr));
    // Integer formats clip instead of wrapping around when the effect goes over full scale.
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    std::vector<float> interleaved;
    const std::size_t frames = signal.frames();
    for (std::size_t start = 0; start < frames; start += 4096) {
        const std::size_t count = std::min<std::size_t>(4096, frames - start);
        interleaved.resize(count * 2);
        for (std::size_t i = 0; i < count; ++i) {
            interleaved[2 * i] = signal.left[start + i];
            interleaved[2 * i + 1] = signal.right[start + i];
        }
        if (sf_writef_float(file.get(), interleaved.data(), static_cast<sf_count_t>(count)) !=
            static_cast<sf_count_t>(count))
            throw ToolError("cannot write the audio file \"" + path + "\": " + sf_strerror(file.get()));
    }
    file.reset();
}

} // namespace vorelan
