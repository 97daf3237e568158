// Both plug-ins driven through their built libraries as a host drives them: the stored meter
// settings when several instances share the per-user store, and the record after effClose.
#include "gui/meter_settings.h"
#include "platform/registry.h"
#include "tests/host/plugin_fixture.h"
#include "tests/support/child_process.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kVuReference = 37;
constexpr int kPpmReturn = 39;
const char kMeterKey[] = "SOFTWARE\\Orv-tonekraft\\Tamarind";

struct Deliverable {
    const char* name;
    const char* path;
};

const Deliverable kDeliverables[] = {{"Borealis", ORV_BOREALIS_PATH}, {"Kestrel", ORV_KESTREL_PATH}};

// The raw stored value, or -100 when there is none.
float storedValue(int index) {
    static const char* const names[] = {"vuintegration", "vureference", "ppmintegration", "ppmreturn",
                                        "overcounter"};
    float value = -100.0f;
    orv::platform::registryGetBinary(kMeterKey, names[index - kFirstMeterSetting], &value, sizeof value);
    return value;
}

class StoredSettings : public ::testing::TestWithParam<Deliverable> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orv-instances-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        previous = old ? old : "";
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        hostLog() = HostLog();
    }
    void TearDown() override {
        setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
        std::system(("rm -rf " + root).c_str());
    }
    // A started instance of the plug-in under test.
    std::unique_ptr<LoadedPlugin> startInstance() {
        auto plugin = std::make_unique<LoadedPlugin>(GetParam().path);
        EXPECT_NE(plugin->start(), nullptr) << dlerror();
        return plugin;
    }
    std::string root, previous;
};

// Two instances in one process: one changes a setting, the other nothing. Whichever closes
// last, the change is what stays stored; the idle instance writes nothing at all.
TEST_P(StoredSettings, TheChangeSurvivesAnIdleInstanceInEitherClosingOrder) {
    for (bool changedClosesFirst : {true, false}) {
        SCOPED_TRACE(changedClosesFirst ? "changed instance closes first" : "idle instance closes first");
        writeMeterSetting(kVuReference, 0.5f);
        auto changed = startInstance();
        auto idle = startInstance();
        ASSERT_TRUE(changed->fx && idle->fx);
        changed->fx->setParameter(changed->fx, kVuReference, 0.9f);
        EXPECT_FLOAT_EQ(idle->fx->getParameter(idle->fx, kVuReference), 0.5f);
        if (changedClosesFirst) {
            changed->closeEffect();
            EXPECT_FLOAT_EQ(storedValue(kVuReference), 0.9f);
            idle->closeEffect();
        } else {
            idle->closeEffect();
            EXPECT_FLOAT_EQ(storedValue(kVuReference), 0.5f) << "the idle instance wrote nothing";
            changed->closeEffect();
        }
        EXPECT_FLOAT_EQ(storedValue(kVuReference), 0.9f);
        auto next = startInstance();
        EXPECT_FLOAT_EQ(next->fx->getParameter(next->fx, kVuReference), 0.9f);
    }
}

// Instances that change nothing store nothing: an empty store stays empty, and a stored value
// that the engines replace by their fallback when reading stays as the user's store has it.
TEST_P(StoredSettings, InstancesThatChangeNothingWriteNothing) {
    {
        auto a = startInstance();
        auto b = startInstance();
    }
    for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
        EXPECT_EQ(storedValue(index), -100.0f) << "setting " << index;

    writeMeterSetting(kPpmReturn, 1.5f);
    {
        auto a = startInstance();
        EXPECT_FLOAT_EQ(a->fx->getParameter(a->fx, kPpmReturn), 0.72365f);
    }
    EXPECT_FLOAT_EQ(storedValue(kPpmReturn), 1.5f);
}

// Both change the same setting: each instance's own value goes back when it closes, so the
// instance closed last decides; settings neither touched keep the stored values.
TEST_P(StoredSettings, WhenBothChangeTheLastClosedWins) {
    writeMeterSetting(kPpmReturn, 0.4f);
    auto a = startInstance();
    auto b = startInstance();
    a->fx->setParameter(a->fx, kVuReference, 0.9f);
    b->fx->setParameter(b->fx, kVuReference, 0.7f);
    b->closeEffect();
    a->closeEffect();
    EXPECT_FLOAT_EQ(storedValue(kVuReference), 0.9f);
    EXPECT_FLOAT_EQ(storedValue(kPpmReturn), 0.4f);
    EXPECT_EQ(storedValue(kFirstMeterSetting), -100.0f);
}

// Borealis and Kestrel loaded in one process write the shared meter settings at the same
// moments: each instance's change must land, whatever temporary files the other library holds.
// The files below are those the other library would be writing under this process's id.
TEST_P(StoredSettings, AChangeLandsWhileTheOtherLibraryOfThisProcessWrites) {
    const std::string folder = root + "/SOFTWARE/Orv-tonekraft/Tamarind/";
    writeMeterSetting(kVuReference, 0.5f);
    for (int n = 0; n <= 64; ++n)
        std::fclose(std::fopen((folder + "vureference.tmp." + std::to_string(getpid()) + "." + std::to_string(n)).c_str(), "w"));
    for (float value : {0.9f, 0.3f, 0.7f}) {
        auto instance = startInstance();
        ASSERT_TRUE(instance->fx);
        instance->fx->setParameter(instance->fx, kVuReference, value);
        instance->closeEffect();
        EXPECT_FLOAT_EQ(storedValue(kVuReference), value);
    }
}

TEST(StoredSettingsSideBySide, BothLibrariesClosingTogetherLeaveTheirChanges) {
    char pattern[] = "/tmp/orv-side-by-side-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = old ? old : "";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    {
        LoadedPlugin borealis(ORV_BOREALIS_PATH), kestrel(ORV_KESTREL_PATH);
        // Each library changes a setting of its own, so each change must be found afterwards.
        for (int round = 0; round < 40; ++round) {
            const float a = 0.01f * static_cast<float>(round + 1), b = 1.0f - a;
            ASSERT_NE(borealis.start(), nullptr);
            ASSERT_NE(kestrel.start(), nullptr);
            borealis.fx->setParameter(borealis.fx, kVuReference, a);
            kestrel.fx->setParameter(kestrel.fx, kPpmReturn, b);
            std::thread other([&] { kestrel.closeEffect(); });
            borealis.closeEffect();
            other.join();
            ASSERT_FLOAT_EQ(storedValue(kVuReference), a) << "round " << round;
            ASSERT_FLOAT_EQ(storedValue(kPpmReturn), b) << "round " << round;
        }
    }
    setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    std::system(("rm -rf " + root).c_str());
}

// One instance in each of two processes, started together; the parent decides the order in
// which they act and close. Each child reports back through a pipe.
// The child sends 'r' once its instance started ('x' when it did not), waits for 'g', then
// sets the value (when one is given), closes and sends 'd'.
class ChildInstance : public orvtest::ChildProcess {
public:
    ChildInstance(const char* path, float newValue)
        : ChildProcess([path, newValue](const Link& parent) -> int {
              LoadedPlugin plugin(path);
              char c = plugin.start() ? 'r' : 'x';
              // _exit, not return: the child leaves without unloading the library.
              if (!parent.send(c)) _exit(3);
              if (!parent.receive(c)) _exit(4);
              if (newValue >= 0.0f) plugin.fx->setParameter(plugin.fx, kVuReference, newValue);
              plugin.closeEffect();
              _exit(parent.send('d') ? 0 : 5);
          }) {}
    bool actAndClose() { return signalAndAwait('g', 'd'); }
};

TEST_P(StoredSettings, TheChangeSurvivesAnIdleInstanceInAnotherProcess) {
    for (bool changedClosesFirst : {true, false}) {
        SCOPED_TRACE(changedClosesFirst ? "changed instance closes first" : "idle instance closes first");
        writeMeterSetting(kVuReference, 0.5f);
        ChildInstance changed(GetParam().path, 0.9f);
        ChildInstance idle(GetParam().path, -1.0f);
        ASSERT_GT(changed.pid, 0);
        ASSERT_GT(idle.pid, 0);
        ASSERT_EQ(changed.reply(), 'r');
        ASSERT_EQ(idle.reply(), 'r');
        ChildInstance& first = changedClosesFirst ? changed : idle;
        ChildInstance& second = changedClosesFirst ? idle : changed;
        ASSERT_TRUE(first.actAndClose());
        ASSERT_TRUE(second.actAndClose());
        EXPECT_FLOAT_EQ(storedValue(kVuReference), 0.9f);
    }
}

// After effClose a host must not use the record, but a second effClose or a late call must
// not reach freed memory either (the sanitizer build checks): they answer 0 and do nothing.
TEST_P(StoredSettings, CallsOnAClosedRecordAnswerNothing) {
    auto plugin = startInstance();
    AEffect* fx = plugin->fx;
    plugin->fx = nullptr;
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f), 1);
    // Other instances opened and closed in between do not take the record over.
    for (int i = 0; i < 8; ++i) startInstance();

    EXPECT_EQ(fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f), 0);
    char text[256] = "kept";
    EXPECT_EQ(fx->dispatcher(fx, effGetVendorString, 0, 0, text, 0.0f), 0);
    EXPECT_STREQ(text, "kept");
    EXPECT_EQ(fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f), 0);
    fx->setParameter(fx, kVuReference, 0.9f);
    EXPECT_EQ(fx->getParameter(fx, kVuReference), 0.0f);
    float in[4][16] = {}, out[2][16];
    for (auto& channel : out)
        for (float& s : channel) s = 7.0f;
    float* inputs[4] = {in[0], in[1], in[2], in[3]};
    float* outputs[2] = {out[0], out[1]};
    fx->processReplacing(fx, inputs, outputs, 16);
    EXPECT_EQ(out[0][0], 7.0f);
    EXPECT_EQ(out[1][15], 7.0f);
    EXPECT_EQ(storedValue(kVuReference), -100.0f) << "the late parameter call stored nothing";
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, StoredSettings, ::testing::ValuesIn(kDeliverables),
                         [](const ::testing::TestParamInfo<Deliverable>& info) { return std::string(info.param.name); });

}  // namespace
