// Kestrel's chunk meter feeds on each code path: the same values as frame-by-frame feeds (no
// product of the meters is fused, so both paths show the same meters).
#include "kestrel/meter_chunks.h"

#include "tests/support/path_test.h"

#include <cmath>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

void expectSameMeters(const Meters& a, const Meters& b, const std::string& what) {
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(a.vu(c), b.vu(c)) << what << " channel " << c;
        EXPECT_EQ(a.ppm(c), b.ppm(c)) << what << " channel " << c;
        EXPECT_EQ(a.vuHold(c), b.vuHold(c)) << what << " channel " << c;
        EXPECT_EQ(a.ppmHold(c), b.ppmHold(c)) << what << " channel " << c;
        EXPECT_EQ(a.vuHoldAge(c), b.vuHoldAge(c)) << what << " channel " << c;
        EXPECT_EQ(a.ppmHoldAge(c), b.ppmHoldAge(c)) << what << " channel " << c;
        EXPECT_EQ(a.overCount(c), b.overCount(c)) << what << " channel " << c;
    }
}
}  // namespace

// The meters take whole chunks in the kernels and frames one at a time in their reference
// feeds; both must leave every follower, hold, hold age and over count the same, bit for bit,
// in each channel, for every source, with power on and off, whatever the chunk lengths, also
// over chunks longer than the stretches the feeds work in.
TEST(ORV_PATH_SUITE(KestrelMeters), ChunkFeedsMatchFrameByFrameFeeds) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const int n = 3000;
    std::vector<double> left(n), right(n), gainL(n), gainR(n), noise(n);
    for (int t = 0; t < n; ++t) {
        // Bursts above full scale, drops, near silence; the channels differ.
        const double burst = (t / 250) % 3 == 0 ? 1.4 : (t / 250) % 3 == 1 ? 0.3 : 0.004;
        left[t] = burst * std::sin(0.05 * t);
        right[t] = 0.7 * burst * std::sin(0.031 * t + 1.0) + (t % 97 == 0 ? 1.2 : 0.0);
        noise[t] = (t % 2 ? 1e-12 : -1e-12) * (1.0 + 0.001 * t);
        gainL[t] = 1.0 + 0.5 * left[t];  // reductions and rises above unity
        gainR[t] = 1.0 - 0.9 * std::fabs(right[t]);
    }
    MeterSettings settings;
    settings.vuIntegrationMs = 30.0;
    settings.ppmIntegrationMs = 1.0;
    settings.ppmReturnMs = 50.0;
    const int lengths[] = {1, 64, 7, 33, 64, 2, 19, 150};
    for (bool powerOff : {false, true})
        for (bool expansion : {false, true})
            for (MeterSource source : {MeterSource::Pre, MeterSource::GainRed, MeterSource::Post}) {
                const std::string what = std::string(powerOff ? "off " : "on ") + (expansion ? "expansion " : "") +
                                         std::to_string(static_cast<int>(source));
                Meters single, chunked;
                // A common start in which the channels differ and the holds are set.
                for (Meters* m : {&single, &chunked}) {
                    m->beginBlock(MeterSource::Pre, settings, 44100.0, false, false);
                    for (int t = 0; t < 400; ++t) m->feedLevel(left[t], 0.5 * right[t], noise[t]);
                    m->beginBlock(source, settings, 44100.0, expansion, powerOff);
                }
                bool holdMoved = false;
                double singleNoise = 3e-12, chunkNoise = 3e-12;
                for (int pos = 0, k = 0; pos < n; ++k) {
                    const int count = std::min(lengths[k % 8], n - pos);
                    for (int t = pos; t < pos + count; ++t) {
                        if (powerOff) {
                            singleNoise = -singleNoise;
                            if (source == MeterSource::GainRed)
                                single.feedUnityPowerOff(singleNoise);
                            else
                                single.feedLevelPowerOff(left[t], right[t], singleNoise);
                        } else if (source == MeterSource::GainRed) {
                            single.feedGain(gainL[t], gainR[t], noise[t]);
                        } else {
                            single.feedLevel(left[t], right[t], noise[t]);
                        }
                    }
                    if (powerOff) {
                        chunkNoise = source == MeterSource::GainRed
                                         ? chunked.feedUnityPowerOffChunk<orvtest::PathSet>(chunkNoise, count)
                                         : chunked.feedLevelPowerOffChunk<orvtest::PathSet>(&left[pos], &right[pos], chunkNoise, count);
                        EXPECT_EQ(chunkNoise, singleNoise) << what;
                    } else if (source == MeterSource::GainRed) {
                        chunked.feedGainChunk<orvtest::PathSet>(&gainL[pos], &gainR[pos], &noise[pos], count);
                    } else {
                        chunked.feedLevelChunk<orvtest::PathSet>(&left[pos], &right[pos], &noise[pos], 1, count);
                    }
                    for (Meters* m : {&single, &chunked}) m->ageHolds(count);
                    holdMoved = holdMoved || single.ppmHoldAge(0) < pos + count || single.vuHoldAge(1) < pos + count;
                    expectSameMeters(single, chunked, what + " at " + std::to_string(pos));
                    if (::testing::Test::HasFailure()) return;
                    pos += count;
                }
                EXPECT_TRUE(holdMoved) << what;
            }
}
