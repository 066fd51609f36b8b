#pragma once

// A small stand-in for the part of GoogleTest the host-level tests use, for the Windows test
// program (GoogleTest does not build with the mingw-w64 runtime used here). Same macro names and
// meaning: TEST, EXPECT_* continue after a failure, ASSERT_* leave the test, both accept << message.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace minitest {

struct TestCase {
    const char* suite;
    const char* name;
    void (*body)();
};

inline std::vector<TestCase>& Registry() {
    static std::vector<TestCase> tests;
    return tests;
}

inline int& FailureCount() {
    static int count = 0;
    return count;
}

inline bool& Skipped() {
    static bool skipped = false;
    return skipped;
}

struct Registrar {
    Registrar(const char* suite, const char* name, void (*body)()) {
        Registry().push_back({suite, name, body});
    }
};

// Collects a failure message and reports it when the statement ends.
class Failure {
public:
    Failure(const char* file, int line, std::string what) {
        stream_ << file << ":" << line << ": Failure\n" << what;
    }
    ~Failure() {
        std::fprintf(stderr, "%s\n", stream_.str().c_str());
        ++FailureCount();
    }
    template <typename T> Failure& operator<<(const T& value) {
        stream_ << (first_ ? "\n" : "") << value;
        first_ = false;
        return *this;
    }

private:
    std::ostringstream stream_;
    bool first_ = true;
};

// Marks the running test as skipped; the message is printed when the statement ends.
class Skip {
public:
    Skip() { Skipped() = true; }
    ~Skip() { std::printf("  skipped: %s\n", stream_.str().c_str()); }
    template <typename T> Skip& operator<<(const T& value) {
        stream_ << value;
        return *this;
    }

private:
    std::ostringstream stream_;
};

// Turns the failure expression into void so that ASSERT_* can return from the test.
struct Returner {
    void operator=(const Failure&) const {}
    void operator=(const Skip&) const {}
};

struct Result {
    bool ok;
    std::string message;
};

template <typename T> std::string Show(const T& value) {
    std::ostringstream s;
    if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, signed char> ||
                  std::is_same_v<T, char>)
        s << static_cast<int>(value);
    else if constexpr (std::is_enum_v<T>)
        s << static_cast<long long>(value);
    else
        s << value;
    return s.str();
}

template <typename A, typename B, typename Op>
Result Compare(const A& a, const B& b, const char* ea, const char* eb, const char* op, Op compare) {
    if (compare(a, b))
        return {true, {}};
    return {false, std::string("Expected: (") + ea + ") " + op + " (" + eb + "), actual: " + Show(a) +
                       " vs " + Show(b)};
}

inline Result CompareStrings(const char* a, const char* b, const char* ea, const char* eb, bool equal) {
    const bool same = (a == nullptr || b == nullptr) ? a == b : std::strcmp(a, b) == 0;
    if (same == equal)
        return {true, {}};
    return {false, std::string("Expected: ") + ea + (equal ? " == " : " != ") + eb + ", actual: \"" +
                       (a ? a : "(null)") + "\" vs \"" + (b ? b : "(null)") + "\""};
}

inline Result Near(double a, double b, double tolerance, const char* ea, const char* eb) {
    if (std::fabs(a - b) <= tolerance)
        return {true, {}};
    return {false, std::string("Expected ") + ea + " near " + eb + ", actual: " + Show(a) + " vs " + Show(b)};
}

inline int RunAllTests() {
    int failedTests = 0;
    for (const TestCase& test : Registry()) {
        std::printf("[ RUN      ] %s.%s\n", test.suite, test.name);
        const int before = FailureCount();
        Skipped() = false;
        test.body();
        const bool failed = FailureCount() != before;
        failedTests += failed ? 1 : 0;
        std::printf("%s %s.%s\n", failed ? "[  FAILED  ]" : (Skipped() ? "[  SKIPPED ]" : "[       OK ]"),
                    test.suite, test.name);
    }
    std::printf("[==========] %zu tests, %d failed\n", Registry().size(), failedTests);
    std::fflush(stdout);
    return failedTests == 0 ? 0 : 1;
}

} // namespace minitest

#define MINITEST_CHECK(result, fatal)                                                                        \
    if (const ::minitest::Result minitest_result = (result); minitest_result.ok)                             \
        ;                                                                                                    \
    else                                                                                                     \
        fatal ::minitest::Failure(__FILE__, __LINE__, minitest_result.message)

#define MINITEST_FATAL return ::minitest::Returner() =
#define MINITEST_NONFATAL

#define TEST(suite, name)                                                                                    \
    static void suite##_##name##_Test();                                                                     \
    static ::minitest::Registrar suite##_##name##_registrar(#suite, #name, &suite##_##name##_Test);          \
    static void suite##_##name##_Test()

#define MINITEST_CMP(a, b, op, fatal)                                                                        \
    MINITEST_CHECK(                                                                                          \
        ::minitest::Compare((a), (b), #a, #b, #op, [](const auto& x, const auto& y) { return x op y; }),     \
        fatal)

#define EXPECT_TRUE(c)                                                                                       \
    MINITEST_CHECK((::minitest::Result{static_cast<bool>(c), "Expected true: " #c}), MINITEST_NONFATAL)
#define EXPECT_FALSE(c) MINITEST_CHECK((::minitest::Result{!(c), "Expected false: " #c}), MINITEST_NONFATAL)
#define ASSERT_TRUE(c)                                                                                       \
    MINITEST_CHECK((::minitest::Result{static_cast<bool>(c), "Expected true: " #c}), MINITEST_FATAL)
#define ASSERT_FALSE(c) MINITEST_CHECK((::minitest::Result{!(c), "Expected false: " #c}), MINITEST_FATAL)
#define EXPECT_EQ(a, b) MINITEST_CMP(a, b, ==, MINITEST_NONFATAL)
#define EXPECT_NE(a, b) MINITEST_CMP(a, b, !=, MINITEST_NONFATAL)
#define EXPECT_LT(a, b) MINITEST_CMP(a, b, <, MINITEST_NONFATAL)
#define EXPECT_LE(a, b) MINITEST_CMP(a, b, <=, MINITEST_NONFATAL)
#define EXPECT_GT(a, b) MINITEST_CMP(a, b, >, MINITEST_NONFATAL)
#define EXPECT_GE(a, b) MINITEST_CMP(a, b, >=, MINITEST_NONFATAL)
#define ASSERT_EQ(a, b) MINITEST_CMP(a, b, ==, MINITEST_FATAL)
#define ASSERT_NE(a, b) MINITEST_CMP(a, b, !=, MINITEST_FATAL)
#define ASSERT_GE(a, b) MINITEST_CMP(a, b, >=, MINITEST_FATAL)
#define EXPECT_FLOAT_EQ(a, b)                                                                                \
    MINITEST_CHECK(::minitest::Near((a), (b), 1e-6 * std::fabs(double(b)) + 1e-30, #a, #b), MINITEST_NONFATAL)
#define EXPECT_NEAR(a, b, t) MINITEST_CHECK(::minitest::Near((a), (b), (t), #a, #b), MINITEST_NONFATAL)
#define EXPECT_STREQ(a, b)                                                                                   \
    MINITEST_CHECK(::minitest::CompareStrings((a), (b), #a, #b, true), MINITEST_NONFATAL)
#define EXPECT_STRNE(a, b)                                                                                   \
    MINITEST_CHECK(::minitest::CompareStrings((a), (b), #a, #b, false), MINITEST_NONFATAL)
#define ASSERT_STREQ(a, b) MINITEST_CHECK(::minitest::CompareStrings((a), (b), #a, #b, true), MINITEST_FATAL)
#define GTEST_SKIP() return ::minitest::Returner() = ::minitest::Skip()
#define ADD_FAILURE() ::minitest::Failure(__FILE__, __LINE__, "Failed")
