#pragma once

#include "tools/vorelan/DemoSignal.h"

#include <string>

namespace vorelan {

struct AudioFile {
    StereoSignal signal; // a mono file is read into both channels
    int sampleRate = 0;
    int channels = 0; // as stored in the file
};

// Reads a WAV, FLAC, AIFF or OGG file (anything libsndfile reads). Throws ToolError with a message
// naming the file when it cannot be read or has more than two channels.
AudioFile ReadAudioFile(const std::string& path);

// Writes a stereo file whose format follows the extension: .wav 32-bit float, .flac and .aiff 24-bit,
// .ogg Vorbis. Throws ToolError for an unknown extension or a file that cannot be written.
void WriteAudioFile(const std::string& path, const StereoSignal& signal, int sampleRate);

// The libsndfile format for a file name, or 0 when the extension is not one of the above.
int AudioFormatFor(const std::string& path);

} // namespace vorelan
