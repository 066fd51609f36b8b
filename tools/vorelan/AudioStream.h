#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sf_private_tag;

namespace vorelan {

// Stereo audio in blocks: sources that read it and writers that store it, so that a render holds only
// a block at a time whatever the length of the file.

// A stream of stereo frames. Read fills up to `frames` frames and answers how many it gave; 0 means the
// end.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual std::size_t Read(float* left, float* right, std::size_t frames) = 0;
    virtual double SampleRate() const = 0;
    // The number of frames, when it is known before reading (not for a pipe).
    virtual std::optional<std::int64_t> Frames() const = 0;
};

// A file that libsndfile reads (WAV, FLAC, AIFF, OGG, ...), or standard input for "-". A mono file
// gives the same samples on both channels. Throws ToolError naming the file when it cannot be read or
// has more than two channels.
class AudioReader : public FrameSource {
public:
    explicit AudioReader(const std::string& path);
    ~AudioReader() override;
    std::size_t Read(float* left, float* right, std::size_t frames) override;
    double SampleRate() const override { return sampleRate_; }
    std::optional<std::int64_t> Frames() const override { return frames_; }
    int Channels() const { return channels_; }

private:
    void close() noexcept;

    std::string name_;
    int fd_ = -1; // a file the reader opened itself
    sf_private_tag* file_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::optional<std::int64_t> frames_;
    std::vector<float> interleaved_;
};

// Signals held in memory (the built-in demo).
class MemorySource : public FrameSource {
public:
    MemorySource(std::vector<float> left, std::vector<float> right, double sampleRate);
    std::size_t Read(float* left, float* right, std::size_t frames) override;
    double SampleRate() const override { return sampleRate_; }
    std::optional<std::int64_t> Frames() const override { return static_cast<std::int64_t>(left_.size()); }

private:
    std::vector<float> left_, right_;
    double sampleRate_;
    std::size_t position_ = 0;
};

enum class Container { Wav, Flac, Aiff, Ogg };
enum class Encoding { Pcm16, Pcm24, Pcm32, Float, Vorbis };

struct OutputFormat {
    Container container = Container::Wav;
    Encoding encoding = Encoding::Float;
};

// The container a file name asks for by its extension (any case), if it is one the tool writes.
std::optional<Container> ContainerFor(const std::string& path);
std::string ExtensionOf(Container container);
// The sample format: --bits 16|24|32 or --float where the container allows it, else the container's
// default (WAV and AIFF 32-bit float... see the help text). Throws UsageError for a combination the
// container cannot hold.
OutputFormat ChooseFormat(Container container, std::optional<int> bits, bool floating);
// "24-bit FLAC", "32-bit float WAV", "Ogg Vorbis".
std::string Describe(const OutputFormat& format);

// Writes stereo frames in a format to a file descriptor, converting the effect's float samples: integer
// formats round to nearest and clip at full scale, 16-bit ones with seeded triangular dither, so the
// same input always gives the same bytes. It measures the peak on the way.
class AudioWriter {
public:
    // name is what messages call the output. expectedFrames, when known, goes into the header of a WAV
    // stream that cannot be rewound (a pipe). A negative fd keeps nothing: the frames only go through
    // the encoder, which tells whether it takes the format at that rate.
    static std::unique_ptr<AudioWriter> Open(int fd, const OutputFormat& format, int sampleRate,
                                             const std::string& name,
                                             std::optional<std::int64_t> expectedFrames);
    virtual ~AudioWriter() = default;

    // Throws ToolError when the output cannot take the frames (a full disk, a closed pipe).
    void Write(const float* left, const float* right, std::size_t frames);
    // Completes the file (headers, encoder flush). Throws ToolError on failure.
    virtual void Finish() = 0;

    float Peak() const { return peak_; }
    // Samples beyond full scale (above 1 in magnitude); an integer format clipped them.
    std::int64_t Overs() const { return overs_; }
    std::int64_t FramesWritten() const { return frames_; }

protected:
    AudioWriter(const OutputFormat& format, std::string name) : format_(format), name_(std::move(name)) {}
    // Writes interleaved frames: floats for Float and Vorbis, else integers aligned to the top of 32 bits.
    virtual void writeFloats(const float* interleaved, std::size_t frames) = 0;
    virtual void writeIntegers(const std::int32_t* interleaved, std::size_t frames) = 0;
    [[noreturn]] void fail(const std::string& why) const;

    OutputFormat format_;
    std::string name_;

private:
    float peak_ = 0;
    std::int64_t overs_ = 0;
    std::int64_t frames_ = 0;
    std::uint32_t ditherState_ = 0x2545F491u;
    std::vector<float> floats_;
    std::vector<std::int32_t> integers_;
};

} // namespace vorelan
