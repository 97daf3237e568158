#include "tests/windows/check.h"

#include <vector>

namespace orvtest {
namespace {

struct Entry {
    const char* group;
    const char* name;
    TestFunction function;
};

std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}

int failuresInTest = 0;

}  // namespace

int registerTest(const char* group, const char* name, TestFunction function) {
    registry().push_back({group, name, function});
    return 0;
}

void fail(const char* file, int line, const std::string& what) {
    ++failuresInTest;
    std::printf("  %s:%d: %s\n", file, line, what.c_str());
}

int runTests(const std::string& group) {
    int passed = 0, failed = 0;
    for (const Entry& e : registry()) {
        if (!group.empty() && group != e.group) continue;
        failuresInTest = 0;
        std::printf("[ run  ] %s.%s\n", e.group, e.name);
        std::fflush(stdout);
        e.function();
        std::printf("[ %s ] %s.%s\n", failuresInTest ? "FAIL" : " ok ", e.group, e.name);
        (failuresInTest ? failed : passed) += 1;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return passed + failed == 0 ? 1 : failed;  // asking for a group with no tests is a mistake
}

}  // namespace orvtest
