#pragma once
// A test fixture for suites that open windows: one private X server for the whole suite (see
// PrivateXServer), and each test skipped when no X server can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/private_x_server.h"

namespace orvtest {

class XServerSuite : public ::testing::Test {
public:
    // Large enough for an editor at 200 %.
    static void SetUpTestSuite() { server().start("1920x1200x24"); }
    static void TearDownTestSuite() { server().stop(); }

protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X server (Xvfb or DISPLAY)";
    }

private:
    static PrivateXServer& server() {
        static PrivateXServer instance;
        return instance;
    }
};

}  // namespace orvtest
