#pragma once

// Helpers of the tests that run the vorelan executable: running it, a private folder per test, and
// small audio files to feed it.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;

struct RunResult {
    int status = -1;
    std::string output; // standard output and standard error together
};

// Runs a shell command line and collects what it prints.
inline RunResult runShell(const std::string& command) {
    RunResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// The tool with arguments, after optional environment settings ("NAME=value ...").
inline RunResult runTool(const std::string& arguments, const std::string& environment = "") {
    return runShell(environment + (environment.empty() ? "" : " ") + quoted(VORELAN_TOOL_PATH) + " " +
                    arguments);
}

inline std::string pluginOption() {
    return " --plugin " + quoted(VORELAN_PLUGIN_PATH);
}

// A folder of its own for each test, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vorelan-tool-test-" + std::to_string(::getpid()) + "-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // A mono file of `frames` samples of f(i) at `rate`, in `format` (float WAV by default).
    template <typename F>
    std::string writeMono(const std::string& name, std::size_t frames, int rate, F&& f,
                          int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 1;
        info.format = format;
        const std::string file = path(name);
        SNDFILE* handle = sf_open(file.c_str(), SFM_WRITE, &info);
        std::vector<float> chunk;
        for (std::size_t start = 0; start < frames; start += 65536) {
            chunk.resize(std::min<std::size_t>(65536, frames - start));
            for (std::size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<float>(f(start + i));
            sf_writef_float(handle, chunk.data(), static_cast<sf_count_t>(chunk.size()));
        }
        sf_close(handle);
        return file;
    }

    // A decaying chirp at 48 kHz, so delays and modulation have something to move.
    std::string writeMonoInput(std::size_t frames, const std::string& name = "in.wav") {
        return writeMono(name, frames, 48000, [](std::size_t i) {
            return 0.5 * std::sin(0.002 * i * (1 + i / 20000.0)) * std::exp(-1e-5 * i);
        });
    }

    // The names in the test's folder, sorted.
    std::vector<std::string> listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

} // namespace tooltest
