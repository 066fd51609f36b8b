#include "tools/vorelan/AudioStream.h"

#include "tools/vorelan/ToolError.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorelan {

namespace {

std::string lowerExtension(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    const std::string::size_type slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

int bitsOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Pcm16:
        return 16;
    case Encoding::Pcm24:
        return 24;
    default:
        return 32;
    }
}

bool isInteger(Encoding encoding) {
    return encoding == Encoding::Pcm16 || encoding == Encoding::Pcm24 || encoding == Encoding::Pcm32;
}

// Writes everything to fd, or nowhere when fd is negative. Answers 0, or the errno of the failure (a
// descriptor that takes nothing more counts as a full disk).
int writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (fd >= 0 && size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return done < 0 ? errno : ENOSPC;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

// The WAV layout written by the tool itself: RIFF, a 16-byte "fmt " chunk (PCM, or IEEE float with a
// "fact" chunk), then "data". Nothing in it depends on the time or the machine.
//
// A reader of a stream cannot come back to the header, and some readers learn the format from their
// first read of at least 256 bytes, so the header leaves together with the first 4 kB of samples (or
// with all of them, when there are fewer). A stream whose length is not known in advance says so with
// the data size 0x7FFFF000, which readers of streams take as "until the stream ends"; a whole stream
// shorter than 256 bytes gets a "JUNK" chunk, the padding chunk readers skip, to reach that size. A
// file's header is rewritten with the true sizes at the end.
class WavWriter : public AudioWriter {
public:
    WavWriter(int fd, const OutputFormat& format, int sampleRate, std::string name,
              std::optional<std::int64_t> expectedFrames)
        : AudioWriter(format, std::move(name)), fd_(fd), sampleRate_(sampleRate),
          expectedFrames_(expectedFrames) {
        struct stat info {};
        rewindable_ = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::lseek(fd, 0, SEEK_CUR) == 0;
    }

    void Finish() override {
        if (!started_) {
            start(FramesWritten(), true);
            return;
        }
        if (!rewindable_)
            return; // a stream: the header announced the length, or an open end when none was known
        const std::vector<std::uint8_t> header = makeHeader(FramesWritten(), 0);
        if (::pwrite(fd_, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()))
            fail(FileErrorText(errno));
    }

protected:
    void writeFloats(const float* interleaved, std::size_t frames) override {
        bytes_.resize(frames * 2 * 4);
        std::memcpy(bytes_.data(), interleaved, bytes_.size()); // the machine is little-endian, like WAV
        append();
    }
    void writeIntegers(const std::int32_t* interleaved, std::size_t frames) override {
        const int width = bitsOf(format_.encoding) / 8;
        bytes_.resize(frames * 2 * width);
        std::uint8_t* out = bytes_.data();
        for (std::size_t i = 0; i < frames * 2; ++i) {
            const auto sample = static_cast<std::uint32_t>(interleaved[i]);
            for (int b = 4 - width; b < 4; ++b)
                *out++ = static_cast<std::uint8_t>(sample >> (8 * b));
        }
        append();
    }

private:
    static constexpr std::size_t kFirstWrite = 4096;
    static constexpr std::size_t kSmallestStream = 256;
    static constexpr std::uint32_t kOpenEndBytes = 0x7FFFF000u;

    // Little-endian fields written one after the other into a header of known size.
    struct HeaderBytes {
        std::vector<std::uint8_t> bytes;
        std::size_t at = 0;
        explicit HeaderBytes(std::size_t size) : bytes(size) {}
        void number(std::uint32_t v, int width) {
            for (int i = 0; i < width; ++i)
                bytes[at++] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        void tag(const char* name) {
            for (int i = 0; i < 4; ++i)
                bytes[at++] = static_cast<std::uint8_t>(name[i]);
        }
    };

    std::uint32_t frameBytes() const { return 2 * bitsOf(format_.encoding) / 8; }
    std::uint32_t headerBytes() const { return format_.encoding == Encoding::Float ? 58 : 44; }

    // Sizes for `frames`, or the open end when the length is not known or too large; a "JUNK" chunk of
    // junkBytes (even) before the data when junkBytes is not 0.
    std::vector<std::uint8_t> makeHeader(std::optional<std::int64_t> frames, std::uint32_t junkBytes) const {
        const bool floating = format_.encoding == Encoding::Float;
        const std::uint32_t size = headerBytes() + (junkBytes ? 8 + junkBytes : 0);
        std::uint32_t dataBytes = kOpenEndBytes;
        if (frames && *frames * frameBytes() <= 0xFFFFFFFFu - size)
            dataBytes = static_cast<std::uint32_t>(*frames * frameBytes());
        HeaderBytes h(size);
        h.tag("RIFF");
        h.number(size - 8 + dataBytes, 4);
        h.tag("WAVE");
        h.tag("fmt ");
        h.number(floating ? 18 : 16, 4);
        h.number(floating ? 3 : 1, 2); // IEEE float or PCM
        h.number(2, 2);
        h.number(static_cast<std::uint32_t>(sampleRate_), 4);
        h.number(static_cast<std::uint32_t>(sampleRate_) * frameBytes(), 4);
        h.number(frameBytes(), 2);
        h.number(static_cast<std::uint32_t>(bitsOf(format_.encoding)), 2);
        if (floating) {
            h.number(0, 2); // no format extension
            h.tag("fact");
            h.number(4, 4);
            h.number(dataBytes / frameBytes(), 4);
        }
        if (junkBytes) {
            h.tag("JUNK");
            h.number(junkBytes, 4);
            h.at += junkBytes; // zeros
        }
        h.tag("data");
        h.number(dataBytes, 4);
        return h.bytes;
    }

    void append() {
        if (started_) {
            put(bytes_.data(), bytes_.size());
            return;
        }
        held_.insert(held_.end(), bytes_.begin(), bytes_.end());
        if (held_.size() >= kFirstWrite)
            start(expectedFrames_, false);
    }

    // The header and the samples held so far in one write; whole: they are all the samples there are.
    void start(std::optional<std::int64_t> frames, bool whole) {
        std::uint32_t junk = 0;
        if (whole && !rewindable_ && headerBytes() + held_.size() < kSmallestStream)
            junk = static_cast<std::uint32_t>(kSmallestStream - 8 - headerBytes() - held_.size() + 1) & ~1u;
        std::vector<std::uint8_t> first = makeHeader(frames, junk);
        first.insert(first.end(), held_.begin(), held_.end());
        held_.clear();
        started_ = true;
        put(first.data(), first.size());
    }

    void put(const std::uint8_t* data, std::size_t size) {
        written_ += size;
        if (written_ > 0xFFFFFFFFu)
            fail("a WAV file holds at most 4 GB; choose .flac for longer renders");
        if (const int error = writeAll(fd_, data, size))
            fail(FileErrorText(error));
    }

    int fd_;
    int sampleRate_;
    std::optional<std::int64_t> expectedFrames_;
    bool rewindable_ = false;
    bool started_ = false;
    std::uint64_t written_ = 0;
    std::vector<std::uint8_t> bytes_, held_;
};

// libsndfile writes through these calls onto the descriptor (or nowhere, for the encoder check), so a
// failed write keeps its errno and the message can tell a full disk from an encoder that refuses.
struct Sink {
    int fd; // negative: keep nothing
    sf_count_t position = 0, length = 0;
    int error = 0;

    static Sink& of(void* user) { return *static_cast<Sink*>(user); }
    static sf_count_t fileLength(void* user) {
        Sink& sink = of(user);
        struct stat info {};
        return sink.fd < 0 ? sink.length : ::fstat(sink.fd, &info) == 0 ? info.st_size : -1;
    }
    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        Sink& sink = of(user);
        if (sink.fd >= 0)
            return ::lseek(sink.fd, offset, whence);
        sink.position = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? sink.position : sink.length) + offset;
        return sink.position;
    }
    static sf_count_t read(void* data, sf_count_t count, void* user) {
        Sink& sink = of(user);
        if (sink.fd < 0)
            return 0;
        const ssize_t got = ::read(sink.fd, data, static_cast<std::size_t>(count));
        return got < 0 ? 0 : got;
    }
    static sf_count_t write(const void* data, sf_count_t count, void* user) {
        Sink& sink = of(user);
        sink.error =
            writeAll(sink.fd, static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(count));
        if (sink.error != 0)
            return 0;
        sink.position += count;
        sink.length = std::max(sink.length, sink.position);
        return count;
    }
    static sf_count_t tell(void* user) {
        Sink& sink = of(user);
        return sink.fd < 0 ? sink.position : ::lseek(sink.fd, 0, SEEK_CUR);
    }
};

// FLAC, AIFF and Ogg Vorbis through libsndfile, on a descriptor the caller keeps.
class SndfileWriter : public AudioWriter {
public:
    SndfileWriter(int fd, const OutputFormat& format, int sampleRate, std::string name)
        : AudioWriter(format, std::move(name)), sink_{fd}, sampleRate_(sampleRate) {
        SF_INFO info{};
        info.samplerate = sampleRate;
        info.channels = 2;
        info.format = majorFormat() | subFormat();
        if (!sf_format_check(&info))
            fail(Describe(format) + " cannot hold " + std::to_string(sampleRate) + " Hz audio");
        static SF_VIRTUAL_IO io{Sink::fileLength, Sink::seek, Sink::read, Sink::write, Sink::tell};
        file_ = sf_open_virtual(&io, SFM_WRITE, &info, &sink_);
        if (!file_)
            encoderFailed("cannot start", sf_strerror(nullptr));
        // No PEAK chunk: it carries the time of writing, and the tool reports the peak itself.
        sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    }
    ~SndfileWriter() override {
        if (file_)
            sf_close(file_);
    }

    void Finish() override {
        SNDFILE* file = file_;
        file_ = nullptr;
        const int pending = sf_error(file);
        const int closed = sf_close(file);
        if (pending != SF_ERR_NO_ERROR || closed != 0) {
            // libsndfile prints a complaint of its own when asked for the text of a number it does not know.
            const int code = pending != SF_ERR_NO_ERROR ? pending : closed;
            encoderFailed("could not complete the file",
                          code > 0 ? std::string(sf_error_number(code)) : "error " + std::to_string(code));
        }
    }

protected:
    void writeFloats(const float* interleaved, std::size_t frames) override {
        check(sf_writef_float(file_, interleaved, static_cast<sf_count_t>(frames)), frames);
    }
    void writeIntegers(const std::int32_t* interleaved, std::size_t frames) override {
        // libsndfile takes the top bits of each 32-bit integer for 16- and 24-bit files.
        check(sf_writef_int(file_, interleaved, static_cast<sf_count_t>(frames)), frames);
    }

private:
    int majorFormat() const {
        switch (format_.container) {
        case Container::Flac:
            return SF_FORMAT_FLAC;
        case Container::Aiff:
            return SF_FORMAT_AIFF;
        case Container::Ogg:
            return SF_FORMAT_OGG;
        case Container::Wav:
            break;
        }
        return SF_FORMAT_WAV;
    }
    int subFormat() const {
        switch (format_.encoding) {
        case Encoding::Pcm16:
            return SF_FORMAT_PCM_16;
        case Encoding::Pcm24:
            return SF_FORMAT_PCM_24;
        case Encoding::Pcm32:
            return SF_FORMAT_PCM_32;
        case Encoding::Float:
            return SF_FORMAT_FLOAT;
        case Encoding::Vorbis:
            break;
        }
        return SF_FORMAT_VORBIS;
    }
    void check(sf_count_t written, std::size_t frames) {
        if (written == static_cast<sf_count_t>(frames))
            return;
        // Encoders start with the first frames; one that refuses the rate says so only then.
        if (sink_.error == 0 && FramesWritten() == 0)
            fail("the " + Describe(format_) + " encoder does not take " + std::to_string(sampleRate_) +
                 " Hz audio");
        encoderFailed("stopped", sf_strerror(file_));
    }
    // A failed write of the file says what the system said; anything else is the encoder's own failure.
    [[noreturn]] void encoderFailed(const std::string& what, const std::string& detail) const {
        if (sink_.error != 0)
            fail(FileErrorText(sink_.error));
        fail("the " + Describe(format_) + " encoder " + what + " (" + detail + ")");
    }

    Sink sink_;
    SNDFILE* file_ = nullptr;
    int sampleRate_;
};

} // namespace

AudioReader::AudioReader(const std::string& path)
    : name_(path == "-" ? "standard input" : "\"" + path + "\"") {
    const std::string formats =
        "vorelan reads WAV, FLAC, AIFF, Ogg Vorbis and the other formats of libsndfile";
    SF_INFO info{};
    if (path == "-") {
        if (::isatty(STDIN_FILENO))
            throw UsageError("standard input is a terminal; pipe an audio file into it or name a file");
        file_ = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        if (!file_)
            throw ToolError("standard input holds no audio that vorelan can read (" + formats + ")");
    } else {
        const auto refuse = [&](const std::string& why) {
            close();
            return ToolError("cannot read the audio file " + name_ + ": " + why);
        };
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            throw ToolError("cannot read the audio file " + name_ + ": " + FileErrorText(errno));
        struct stat status {};
        if (::fstat(fd_, &status) == 0 && S_ISDIR(status.st_mode))
            throw refuse(FileErrorText(EISDIR));
        if (S_ISREG(status.st_mode) && status.st_size == 0)
            throw refuse("it is empty");
        file_ = sf_open_fd(fd_, SFM_READ, &info, SF_FALSE);
        if (!file_)
            throw refuse("it is not in an audio format vorelan knows, or it is damaged (" + formats + ")");
    }
    if (info.channels < 1 || info.channels > 2 || info.samplerate <= 0) {
        close();
        throw ToolError("the audio file " + name_ +
                        (info.samplerate <= 0 ? " has no valid sample rate"
                                              : " has " + std::to_string(info.channels) +
                                                    " channels; the effect takes mono or stereo"));
    }
    sampleRate_ = info.samplerate;
    channels_ = info.channels;
    if (info.seekable && info.frames >= 0)
        frames_ = info.frames;
}

AudioReader::~AudioReader() {
    close();
}

void AudioReader::close() noexcept {
    if (file_)
        sf_close(file_);
    file_ = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::size_t AudioReader::Read(float* left, float* right, std::size_t frames) {
    interleaved_.resize(frames * channels_);
    const sf_count_t got = sf_readf_float(file_, interleaved_.data(), static_cast<sf_count_t>(frames));
    if (got <= 0) {
        if (sf_error(file_) != SF_ERR_NO_ERROR)
            throw ToolError("cannot read the audio file " + name_ +
                            " to its end: it is damaged or was cut short");
        return 0;
    }
    for (sf_count_t i = 0; i < got; ++i) {
        left[i] = interleaved_[i * channels_];
        right[i] = interleaved_[i * channels_ + channels_ - 1]; // mono: the same sample
    }
    return static_cast<std::size_t>(got);
}

MemorySource::MemorySource(std::vector<float> left, std::vector<float> right, double sampleRate)
    : left_(std::move(left)), right_(std::move(right)), sampleRate_(sampleRate) {}

std::size_t MemorySource::Read(float* left, float* right, std::size_t frames) {
    const std::size_t count = std::min(frames, left_.size() - position_);
    std::copy_n(left_.begin() + position_, count, left);
    std::copy_n(right_.begin() + position_, count, right);
    position_ += count;
    return count;
}

std::optional<Container> ContainerFor(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == ".wav")
        return Container::Wav;
    if (extension == ".flac")
        return Container::Flac;
    if (extension == ".aiff" || extension == ".aif")
        return Container::Aiff;
    if (extension == ".ogg")
        return Container::Ogg;
    return std::nullopt;
}

std::string ExtensionOf(Container container) {
    switch (container) {
    case Container::Flac:
        return ".flac";
    case Container::Aiff:
        return ".aiff";
    case Container::Ogg:
        return ".ogg";
    case Container::Wav:
        break;
    }
    return ".wav";
}

OutputFormat ChooseFormat(Container container, std::optional<int> bits, bool floating) {
    OutputFormat format{container, Encoding::Pcm24};
    if (container == Container::Ogg) {
        if (bits || floating)
            throw UsageError("Ogg Vorbis has no sample size: leave out --bits and --float");
        format.encoding = Encoding::Vorbis;
        return format;
    }
    if (floating && bits && *bits != 32)
        throw UsageError("--float stores 32-bit samples; it cannot go with --bits " + std::to_string(*bits));
    if (container == Container::Flac && (floating || (bits && *bits == 32)))
        throw UsageError("FLAC holds integer samples of at most 24 bits: use --bits 16 or 24");
    if (floating || (!bits && container == Container::Wav))
        format.encoding = Encoding::Float;
    else if (bits)
        format.encoding = *bits == 16 ? Encoding::Pcm16 : *bits == 24 ? Encoding::Pcm24 : Encoding::Pcm32;
    return format;
}

std::string Describe(const OutputFormat& format) {
    static constexpr const char* kContainers[] = {"WAV", "FLAC", "AIFF", "Ogg"};
    const char* container = kContainers[static_cast<int>(format.container)];
    switch (format.encoding) {
    case Encoding::Vorbis:
        return "Ogg Vorbis";
    case Encoding::Float:
        return std::string("32-bit float ") + container;
    default:
        return std::to_string(bitsOf(format.encoding)) + "-bit " + container;
    }
}

std::unique_ptr<AudioWriter> AudioWriter::Open(int fd, const OutputFormat& format, int sampleRate,
                                               const std::string& name,
                                               std::optional<std::int64_t> expectedFrames) {
    if (format.container == Container::Wav)
        return std::make_unique<WavWriter>(fd, format, sampleRate, name, expectedFrames);
    return std::make_unique<SndfileWriter>(fd, format, sampleRate, name);
}

void AudioWriter::fail(const std::string& why) const {
    throw ToolError("cannot write " + name_ + ": " + why);
}

void AudioWriter::Write(const float* left, const float* right, std::size_t frames) {
    const bool integer = isInteger(format_.encoding);
    if (integer)
        integers_.resize(frames * 2);
    else
        floats_.resize(frames * 2);
    // Full scale of the format, and the range its integers allow.
    const int bits = bitsOf(format_.encoding);
    const double scale = std::ldexp(1.0, bits - 1);
    const bool dither = format_.encoding == Encoding::Pcm16;
    for (std::size_t i = 0; i < frames * 2; ++i) {
        float x = (i & 1) ? right[i / 2] : left[i / 2];
        if (!std::isfinite(x))
            x = 0.0f;
        const float magnitude = std::fabs(x);
        peak_ = std::max(peak_, magnitude);
        if (magnitude > 1.0f)
            ++overs_;
        if (!integer) {
            floats_[i] = x;
            continue;
        }
        double v = x * scale;
        if (dither) {
            // Triangular dither of one step either way: the difference of two uniform draws from a
            // fixed-seed generator (xorshift32).
            auto next = [this] {
                ditherState_ ^= ditherState_ << 13;
                ditherState_ ^= ditherState_ >> 17;
                ditherState_ ^= ditherState_ << 5;
                return ditherState_ * (1.0 / 4294967296.0);
            };
            v += next() - next();
        }
        v = std::clamp(std::nearbyint(v), -scale, scale - 1.0);
        // Aligned to the top of 32 bits, as libsndfile takes integers for narrower files.
        integers_[i] =
            static_cast<std::int32_t>(static_cast<std::int64_t>(v) * (std::int64_t{1} << (32 - bits)));
    }
    if (integer)
        writeIntegers(integers_.data(), frames);
    else
        writeFloats(floats_.data(), frames);
    frames_ += static_cast<std::int64_t>(frames);
}

} // namespace vorelan
