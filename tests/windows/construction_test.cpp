// A failed construction shows its message through the platform's message box, which tests
// route to a handler (a real message box would block an unattended run).
#include "borealis/borealis.h"
#include "platform/message_box.h"
#include "tests/windows/check.h"
#if ORV_HAVE_KESTREL_ENGINE
#include "kestrel/kestrel.h"
#endif

#include <string>
#include <vector>

namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

class FailingBorealis : public Borealis {
public:
    FailingBorealis() : Borealis(host, SimulateFailure{}) {}
};

#if ORV_HAVE_KESTREL_ENGINE
class FailingKestrel : public Kestrel {
public:
    FailingKestrel() : Kestrel(host, SimulateFailure{}) {}
};
#endif

template <typename Failing>
void checkFailure(const char* caption) {
    std::vector<std::string> messages;
    orv::platform::setMessageBoxHandler(
        [&](const std::string& text, const std::string& title) { messages.push_back(title + ": " + text); });
    {
        Failing fx;
        CHECK_EQ(messages.size(), static_cast<std::size_t>(1));
        if (!messages.empty()) CHECK_EQ(messages[0], std::string(caption) + ": Not enough memory");
        CHECK_EQ(fx.getAeffect()->numInputs, 1);
        CHECK_EQ(fx.getAeffect()->numOutputs, 1);
        CHECK_EQ(fx.getAeffect()->uniqueID, fourCharCode('-', '-', '-', '-'));
        // Processing a failed object leaves the outputs silent or untouched, never a crash.
        float in[4][32] = {}, left[32], right[32];
        for (float& v : in[0]) v = 0.5f;
        for (float& v : left) v = 7.0f;
        float* ins[4] = {in[0], in[1], in[2], in[3]};
        float* outs[2] = {left, right};
        fx.resume();
        fx.processReplacing(ins, outs, 32);
        for (float v : left) CHECK(v == 0.0f || v == 7.0f);
    }
    orv::platform::setMessageBoxHandler(nullptr);
}

}  // namespace

ORV_TEST(construction, BorealisFailureReachesTheMessageBox) { checkFailure<FailingBorealis>("Cannot create Orv Borealis"); }

#if ORV_HAVE_KESTREL_ENGINE
ORV_TEST(construction, KestrelFailureReachesTheMessageBox) { checkFailure<FailingKestrel>("Cannot create Orv Kestrel"); }
#endif
