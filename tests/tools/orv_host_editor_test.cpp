// orv-host editor under a private X server as a person uses it: audio played in real time while
// the editor is open, and a mouse drag on a knob printed as a gesture around its automation.
#include <gtest/gtest.h>

#include "tests/support/x_server_suite.h"
#include "tests/support/x_pointer.h"
#include "tests/tools/host_runner.h"

// Xlib last: its macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

using orvtest::contains;
using orvtest::host;
using orvtest::HostRun;
using orvtest::readAudio;
using orvtest::tempPath;

class OrvHostEditor : public orvtest::XServerSuite {};

// Some plug-ins know their editor's size only once the editor is open; the test plug-in is one.
TEST_F(OrvHostEditor, OpensTheEditorBeforeAskingItsSize) {
    HostRun r = host("editor " ORV_MARKER_PLUGIN_PATH " --seconds 0.3");
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(OrvHostEditor, PlaysAudioInRealTimeWhileOpen) {
    // The demo signal played through the open editor and written out is the very audio
    // `process` makes of it: same blocks, latency compensated, the whole signal even though
    // the window closed before real time reached its end.
    const std::string played = tempPath("played.wav"), processed = tempPath("processed.wav");
    std::remove(played.c_str());
    const auto start = std::chrono::steady_clock::now();
    HostRun r = host("editor " ORV_BOREALIS_PATH " --play demo --out " + played + " --seconds 1.5 --set Ratio=4:1");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_GE(seconds, 1.4);
    ASSERT_EQ(host("process " ORV_BOREALIS_PATH " --demo " + processed + " --set Ratio=4:1").status, 0);
    orvtest::Audio a = readAudio(played), b = readAudio(processed);
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.samples.size(), b.samples.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < a.samples.size(); ++i) worst = std::max(worst, std::fabs(a.samples[i] - b.samples[i]));
    EXPECT_LT(worst, 1e-6);

    // A mono file plays as mono; without --out nothing is written and the editor just runs.
    const std::string mono = tempPath("play-mono.wav"), monoOut = tempPath("play-mono-out.flac");
    ASSERT_TRUE(orvtest::writeAudio(mono, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000, std::vector<double>(24000, 0.25)));
    ASSERT_EQ(host("editor " ORV_BOREALIS_PATH " --play " + mono + " --out " + monoOut + " --seconds 0.3").status, 0);
    orvtest::Audio m = readAudio(monoOut);
    EXPECT_EQ(m.info.channels, 1);
    EXPECT_EQ(m.info.samplerate, 48000);
    EXPECT_EQ(m.info.frames, 24000);
    EXPECT_EQ(host("editor " ORV_BOREALIS_PATH " --play " + mono + " --seconds 0.3").status, 0);

    HostRun bad = host("editor " ORV_BOREALIS_PATH " --play /nonexistent.wav --seconds 0.3");
    EXPECT_NE(bad.status, 0);
    EXPECT_TRUE(contains(bad.out, "cannot read audio file")) << bad.out;
    HostRun self = host("editor " ORV_BOREALIS_PATH " --play " + mono + " --out " + mono + " --seconds 0.3");
    EXPECT_NE(self.status, 0);
    EXPECT_TRUE(contains(self.out, "refusing to write")) << self.out;
}

// The first child window of a top-level window whose name is `title`, or 0.
Window editorChild(Display* d, const char* title) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name) {
            if (std::string(name) == title) {
                Window r2, p2, *inner = nullptr;
                unsigned n = 0;
                if (XQueryTree(d, children[i], &r2, &p2, &inner, &n) && n > 0) found = inner[0];
                if (inner) XFree(inner);
            }
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

void sendMouse(Display* d, Window w, int type, int x, int y, unsigned state) {
    XEvent e = orvtest::pointerEvent(d, w, type, Button1, x, y, state);
    orvtest::sendPointer(d, e);
}

TEST_F(OrvHostEditor, PrintsEditGesturesAroundTheAutomation) {
    const std::string log = tempPath("gestures.txt");
    std::thread run([&] {
        HostRun r = host("editor " ORV_BOREALIS_PATH " --seconds 3 > " + log);
        EXPECT_EQ(r.status, 0) << r.out;
    });
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window child = 0;
    for (int i = 0; i < 100 && !child; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        child = editorChild(d, "Orv Borealis");
    }
    ASSERT_NE(child, 0u) << "the editor window did not appear";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // A drag upwards on the Attack knob.
    sendMouse(d, child, ButtonPress, 75, 268, 0);
    for (int y = 264; y >= 230; y -= 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sendMouse(d, child, MotionNotify, 75, y, Button1Mask);
    }
    sendMouse(d, child, ButtonRelease, 75, 230, Button1Mask);
    XCloseDisplay(d);
    run.join();
    std::ifstream in(log);
    const std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t begin = out.find("begin edit: parameter 7 (Attack)");
    const std::size_t automate = out.find("automate: parameter 7 (Attack) = ");
    const std::size_t end = out.find("end edit: parameter 7 (Attack)");
    ASSERT_NE(begin, std::string::npos) << out;
    ASSERT_NE(automate, std::string::npos) << out;
    ASSERT_NE(end, std::string::npos) << out;
    EXPECT_LT(begin, automate);
    EXPECT_LT(automate, end);
}

}  // namespace
