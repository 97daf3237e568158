// Every test gets a per-user store of its own: CTest runs the tests of one program side by side,
// and two of them writing the same stored value (the editor size, meter settings, defaults)
// would see each other's writes. At the start of each test XDG_CONFIG_HOME moves to a folder
// named after the test, under the folder the test program was given.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class StorePerTest : public testing::EmptyTestEventListener {
public:
    StorePerTest() {
        const char* given = std::getenv("XDG_CONFIG_HOME");
        if (given && *given == '/') root_ = given;
    }

    void OnTestStart(const testing::TestInfo& test) override {
        if (root_.empty()) return;
        std::string name = std::string(test.test_suite_name()) + "." + test.name();
        for (char& c : name)
            if (c == '/') c = '_';
        setenv("XDG_CONFIG_HOME", (root_ + "/" + name).c_str(), 1);
    }

    void OnTestEnd(const testing::TestInfo&) override {
        if (!root_.empty()) setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    }

private:
    std::string root_;
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new StorePerTest);
    return true;
}();

}  // namespace
