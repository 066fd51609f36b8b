#include "tools/vorelan/AudioFile.h"

#include "tools/vorelan/AudioStream.h"

namespace vorelan {

AudioFile ReadAudioFile(const std::string& path) {
    AudioReader reader(path);
    AudioFile audio;
    audio.sampleRate = static_cast<int>(reader.SampleRate());
    audio.channels = reader.Channels();
    constexpr std::size_t kChunk = 4096;
    for (std::size_t frames = 0;;) {
        audio.signal.left.resize(frames + kChunk);
        audio.signal.right.resize(frames + kChunk);
        const std::size_t got =
            reader.Read(audio.signal.left.data() + frames, audio.signal.right.data() + frames, kChunk);
        frames += got;
        if (got == 0) {
            audio.signal.left.resize(frames);
            audio.signal.right.resize(frames);
            return audio;
        }
    }
}

} // namespace vorelan
