#include "presets/FxpFile.h"
#include "presets/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include <sys/resource.h>

namespace {

using presets::FxpStatus;

presets::ParameterValues distinctValues() {
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[i] = static_cast<float>(i) / 180.0f; // 0 .. 1, every one different
    values[7] = std::nextafter(0.0f, 1.0f);         // the smallest positive value survives too
    values[8] = std::nextafter(1.0f, 0.0f);
    return values;
}

std::vector<std::uint8_t> asVector(const presets::FxpBytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

TEST(FxpFileTest, WriterProducesTheExactLayout) {
    presets::ParameterValues values{};
    values[0] = 0.07f;
    values[180] = 1.0f;
    const presets::FxpBytes bytes = presets::WriteFxp("8 Voices Chorus", values);

    const std::uint8_t header[28] = {'C', 'c', 'n', 'K', 0,   0,   0, 0, 'F', 'x', 'C', 'k', 0, 0,
                                     0,   1,   'Q', 'R', '1', '4', 0, 0, 0,   1,   0,   0,   0, 181};
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(bytes[i], header[i]) << "header byte " << i;
    EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 56), "8 Voices Chorus             ")
        << "the name is padded with spaces to 28 bytes, without a terminating zero";
    // 0.07f is 0x3D8F5C29: big-endian, most significant byte first.
    EXPECT_EQ(bytes[56], 0x3D);
    EXPECT_EQ(bytes[57], 0x8F);
    EXPECT_EQ(bytes[58], 0x5C);
    EXPECT_EQ(bytes[59], 0x29);
    // 1.0f is 0x3F800000, the last value at 776.
    EXPECT_EQ(bytes[776], 0x3F);
    EXPECT_EQ(bytes[777], 0x80);
    EXPECT_EQ(bytes[779], 0x00);
}

TEST(FxpFileTest, WrittenFileReadsBackBitForBitWithItsName) {
    const presets::ParameterValues values = distinctValues();
    const presets::FxpReadResult result =
        presets::ParseFxp(asVector(presets::WriteFxp("Wide Ensemble", values)));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.program.name, "Wide Ensemble");
    for (int i = 0; i < presets::kParameterCount; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(result.program.values[i]),
                  std::bit_cast<std::uint32_t>(values[i]))
            << "parameter " << i;

    // Longer names are cut to 28 characters; trailing spaces of the name itself disappear on reading.
    const std::string longName = "A name that runs well past the twenty-eight";
    EXPECT_EQ(presets::ParseFxp(asVector(presets::WriteFxp(longName, values))).program.name,
              longName.substr(0, 28));
    EXPECT_EQ(presets::ParseFxp(asVector(presets::WriteFxp("Pad   ", values))).program.name, "Pad");
    EXPECT_EQ(presets::ParseFxp(asVector(presets::WriteFxp("", values))).program.name, "");
    EXPECT_EQ(presets::ParseFxp(asVector(presets::WriteFxp("  lead", values))).program.name, "  lead")
        << "leading spaces belong to the name";
}

TEST(FxpFileTest, NameFieldOfOtherWriters) {
    std::vector<std::uint8_t> bytes = asVector(presets::WriteFxp("", distinctValues()));
    auto setField = [&](const std::string& field) {
        std::fill(bytes.begin() + 28, bytes.begin() + 56, std::uint8_t{0});
        std::copy(field.begin(), field.end(), bytes.begin() + 28);
    };
    setField("Zero padded"); // the rest stays zero
    EXPECT_EQ(presets::ParseFxp(bytes).program.name, "Zero padded");
    setField(std::string("Cut\0here", 8) + std::string(20, ' '));
    EXPECT_EQ(presets::ParseFxp(bytes).program.name, "Cut") << "the name ends at the first zero byte";
    setField(std::string(28, ' '));
    EXPECT_EQ(presets::ParseFxp(bytes).program.name, "");
    setField(std::string(28, 'x'));
    EXPECT_EQ(presets::ParseFxp(bytes).program.name, std::string(28, 'x'))
        << "a full field needs no terminator";
}

TEST(FxpFileTest, ReaderChecksOnlyTheEffectId) {
    std::vector<std::uint8_t> bytes = asVector(presets::WriteFxp("Any", distinctValues()));
    // Magic, byte size, program magic, version, effect version and count may hold anything.
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25, 26, 27})
        bytes[i] = static_cast<std::uint8_t>(0xA5 ^ i);
    const presets::FxpReadResult accepted = presets::ParseFxp(bytes);
    ASSERT_TRUE(accepted.ok()) << "only bytes 16..19 are checked";
    EXPECT_EQ(accepted.program.values[180], 1.0f) << "181 values are read whatever the count field says";

    for (int i = 16; i < 20; ++i) {
        std::vector<std::uint8_t> foreign = bytes;
        foreign[i] ^= 0x20; // "qR14" and the like: the comparison is byte by byte and case-sensitive
        EXPECT_EQ(presets::ParseFxp(foreign).status, FxpStatus::ForeignEffect) << "byte " << i;
    }
}

TEST(FxpFileTest, ShortEmptyAndForeignBytesAreRejected) {
    const std::vector<std::uint8_t> good = asVector(presets::WriteFxp("x", distinctValues()));
    EXPECT_EQ(presets::ParseFxp({}).status, FxpStatus::TooShort);
    EXPECT_EQ(presets::ParseFxp(std::vector<std::uint8_t>(good.begin(), good.begin() + 19)).status,
              FxpStatus::TooShort);
    EXPECT_EQ(presets::ParseFxp(std::vector<std::uint8_t>(good.begin(), good.begin() + 779)).status,
              FxpStatus::TooShort)
        << "one byte missing from the last value";
    EXPECT_EQ(presets::ParseFxp(std::vector<std::uint8_t>(good.begin(), good.begin() + 779)).size, 779u);
    const std::vector<std::uint8_t> text(100, 'a');
    EXPECT_EQ(presets::ParseFxp(text).status, FxpStatus::ForeignEffect)
        << "a short file of another kind gets the familiar message";

    std::vector<std::uint8_t> longer = good;
    longer.resize(5000, 0xFF);
    EXPECT_TRUE(presets::ParseFxp(longer).ok()) << "bytes after the 780 of the layout are ignored";
}

TEST(FxpFileTest, ValuesComeBackUnclampedForSetParameterToClamp) {
    presets::ParameterValues values{};
    values[0] = 1.5f;
    values[1] = -0.2f;
    values[2] = std::numeric_limits<float>::quiet_NaN();
    const presets::FxpReadResult result = presets::ParseFxp(asVector(presets::WriteFxp("odd", values)));
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.program.values[0], 1.5f);
    EXPECT_EQ(result.program.values[1], -0.2f);
    EXPECT_TRUE(std::isnan(result.program.values[2]));
}

class FxpFileOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("fxp-file-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                   "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;
};

TEST_F(FxpFileOnDiskTest, FilesRoundTripAndFailuresAreNamed) {
    const presets::ParameterValues values = distinctValues();
    ASSERT_TRUE(presets::WriteFxpFile(path("a.fxp"), presets::WriteFxp("On disk", values)));
    EXPECT_EQ(std::filesystem::file_size(path("a.fxp")), 780u);
    const presets::FxpReadResult read = presets::ReadFxpFile(path("a.fxp"));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.program.name, "On disk");
    EXPECT_EQ(read.program.values, values);

    const presets::FxpReadResult missing = presets::ReadFxpFile(path("missing.fxp"));
    EXPECT_EQ(missing.status, FxpStatus::CannotOpen);
    EXPECT_NE(presets::FxpStatusMessage(missing, path("missing.fxp")).find(path("missing.fxp")),
              std::string::npos)
        << "the message names the file";
    EXPECT_EQ(presets::ReadFxpFile(folder_.string()).status, FxpStatus::CannotOpen)
        << "a folder is not a file";

    { std::ofstream(path("empty.fxp"), std::ios::binary); }
    const presets::FxpReadResult empty = presets::ReadFxpFile(path("empty.fxp"));
    EXPECT_EQ(empty.status, FxpStatus::TooShort);
    const std::string emptyMessage = presets::FxpStatusMessage(empty, path("empty.fxp"));
    EXPECT_NE(emptyMessage.find(path("empty.fxp")), std::string::npos) << emptyMessage;

    {
        // A big file of another kind: only the start is read.
        std::ofstream big(path("big.fxp"), std::ios::binary);
        const std::string block(1 << 16, 'z');
        for (int i = 0; i < 64; ++i)
            big << block;
    }
    const presets::FxpReadResult big = presets::ReadFxpFile(path("big.fxp"));
    EXPECT_EQ(big.status, FxpStatus::ForeignEffect);
    EXPECT_EQ(presets::FxpStatusMessage(big, path("big.fxp")), "This is not a VorelanEn2 preset!");

    EXPECT_FALSE(presets::WriteFxpFile(path("no/such/folder/x.fxp"), presets::WriteFxp("x", values)));
}

// Overwriting a preset never loses the old one: until the new bytes are all on the disk, the file keeps
// its old contents, and a write that fails leaves it (and nothing else) behind.
TEST_F(FxpFileOnDiskTest, OverwritingKeepsTheOldFileUntilTheNewOneIsComplete) {
    namespace fs = std::filesystem;
    auto contents = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
    };
    auto entries = [this] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const presets::FxpBytes first = presets::WriteFxp("First", distinctValues());
    presets::ParameterValues otherValues = distinctValues();
    otherValues[3] = 0.75f;
    const presets::FxpBytes second = presets::WriteFxp("Second", otherValues);

    ASSERT_TRUE(presets::WriteFxpFile(path("a.fxp"), first));
    fs::permissions(path("a.fxp"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(presets::WriteFxpFile(path("a.fxp"), second));
    EXPECT_EQ(contents(path("a.fxp")), asVector(second)) << "an overwrite replaces the contents";
    EXPECT_EQ(fs::status(path("a.fxp")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "and keeps the file's permissions";

    // A full disk: writes beyond 100 bytes fail (the signal that would end the program is ignored).
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    int error = 0;
    const bool written = presets::WriteFxpFile(path("a.fxp"), first, &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written) << "a full disk is reported";
    EXPECT_EQ(error, EFBIG) << "with the reason";
    EXPECT_EQ(contents(path("a.fxp")), asVector(second)) << "and the old file survives byte for byte";

    // A name that is a folder is not replaced.
    fs::create_directory(path("folder.fxp"));
    EXPECT_FALSE(presets::WriteFxpFile(path("folder.fxp"), first, &error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_TRUE(fs::is_directory(path("folder.fxp")));
    EXPECT_EQ(entries(), (std::vector<std::string>{"a.fxp", "folder.fxp"})) << "no temporary file is left";

    // A link keeps pointing at its file, which gets the new contents.
    fs::create_symlink(path("a.fxp"), path("link.fxp"));
    ASSERT_TRUE(presets::WriteFxpFile(path("link.fxp"), first));
    EXPECT_TRUE(fs::is_symlink(path("link.fxp")));
    EXPECT_EQ(contents(path("a.fxp")), asVector(first));

    // The longest name a file may have still gets a temporary file beside it; its name is shortened
    // between characters.
    const std::string longest = std::string(251, 'n') + ".fxp";
    EXPECT_TRUE(presets::WriteFxpFile(path(longest), first, &error)) << error;
    const std::string e = "\xC3\xA9"; // two bytes
    EXPECT_EQ(presets::TemporaryFileName(".", e + std::string(252, 'e'), ".tmp"),
              std::string(".").append(e).append(248, 'e').append(".tmp"));
    EXPECT_EQ(presets::TemporaryFileName(".", std::string(251, 'e') + e, ".tmp"),
              std::string(".").append(250, 'e').append(".tmp"))
        << "a character that does not fit is left out whole";
}

} // namespace
