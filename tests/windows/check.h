#pragma once
// A very small self-checking test harness for the Windows test programs (GoogleTest is not
// available for the cross compiler). Each test is a function registered under a group; the
// program runs the groups asked for and ends with the line "N passed, M failed".
#include <cstdio>
#include <sstream>
#include <string>

namespace orvtest {

using TestFunction = void (*)();
int registerTest(const char* group, const char* name, TestFunction function);

// Records a failed check of the running test.
void fail(const char* file, int line, const std::string& what);

template <typename A, typename B>
std::string describe(const A& a, const B& b) {
    std::ostringstream s;
    s.precision(9);
    s << a << " vs " << b;
    return s.str();
}

// Runs the tests of `group` (all tests when empty); returns the number of failed tests.
int runTests(const std::string& group);

}  // namespace orvtest

#define ORV_TEST(group, name)                                                                  \
    static void group##_##name();                                                               \
    static const int group##_##name##_registered = orvtest::registerTest(#group, #name, &group##_##name); \
    static void group##_##name()

#define CHECK(cond)                                                      \
    do {                                                                 \
        if (!(cond)) orvtest::fail(__FILE__, __LINE__, "CHECK(" #cond ")"); \
    } while (0)

#define CHECK_EQ(a, b)                                                                                    \
    do {                                                                                                  \
        const auto& orv_a = (a);                                                                          \
        const auto& orv_b = (b);                                                                          \
        if (!(orv_a == orv_b))                                                                            \
            orvtest::fail(__FILE__, __LINE__, "CHECK_EQ(" #a ", " #b "): " + orvtest::describe(orv_a, orv_b)); \
    } while (0)

// Stops the running test when a precondition fails.
#define REQUIRE(cond)                                                      \
    do {                                                                   \
        if (!(cond)) {                                                     \
            orvtest::fail(__FILE__, __LINE__, "REQUIRE(" #cond ")");       \
            return;                                                        \
        }                                                                  \
    } while (0)
