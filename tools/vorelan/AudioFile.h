#pragma once

#include "tools/vorelan/DemoSignal.h"

#include <string>

namespace vorelan {

struct AudioFile {
    StereoSignal signal; // a mono file is read into both channels
    int sampleRate = 0;
    int channels = 0; // as stored in the file
};

// Reads a whole WAV, FLAC, AIFF or OGG file (anything libsndfile reads) into memory. Throws ToolError
// with a message naming the file when it cannot be read or has more than two channels.
AudioFile ReadAudioFile(const std::string& path);

} // namespace vorelan
