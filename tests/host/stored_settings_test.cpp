// Both plug-ins driven through their built libraries as a host drives them: the stored meter
// settings when several instances share the per-user store, and the record after effClose.
#include "gui/meter_settings.h"
#include "platform/registry.h"
#include "tests/host/plugin_fixture.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

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

// One instance in each of two processes, started together; the parent decides the order in
// which they act and close. Each child reports back through a pipe.
class ChildInstance {
public:
    ChildInstance(const char* path, float newValue) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(down[1]);
            close(up[0]);
            LoadedPlugin plugin(path);
            char c = plugin.start() ? 'r' : 'x';
            if (write(up[1], &c, 1) != 1) _exit(3);
            if (read(down[0], &c, 1) != 1) _exit(4);
            if (newValue >= 0.0f) plugin.fx->setParameter(plugin.fx, kVuReference, newValue);
            plugin.closeEffect();
            c = 'd';
            _exit(write(up[1], &c, 1) == 1 ? 0 : 5);
        }
        close(down[0]);
        close(up[1]);
        toChild = down[1];
        fromChild = up[0];
    }
    ~ChildInstance() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
    // The next byte from the child, or 0 after 20 s without one.
    char reply() {
        pollfd p{fromChild, POLLIN, 0};
        char c = 0;
        if (poll(&p, 1, 20000) == 1 && read(fromChild, &c, 1) == 1) return c;
        return 0;
    }
    bool actAndClose() {
        const char c = 'g';
        return write(toChild, &c, 1) == 1 && reply() == 'd';
    }
    pid_t pid = -1;
    int toChild = -1, fromChild = -1;
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
