// orv-windows-tests: the Windows test set, run under Wine.
//   orv-windows-tests [GROUP]          runs the tests (of one group); last line "N passed, M failed"
//   orv-windows-tests --write-signal F  writes the test signal used to compare builds (float WAV)
//   orv-windows-tests --compare A B     compares two WAV files sample by sample
//   orv-windows-tests --screenshot F W H [OTHER]  checks an editor screenshot (size, content, and
//                                       that it differs from OTHER)
#include "tests/windows/check.h"
#include "tools/orv-host/wav_io.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Six seconds of stereo programme with quiet and loud passages, from additions and
// multiplications only, so every system produces the same bits.
int writeSignal(const char* path) {
    orvhost::WavAudio audio;
    audio.rate = 44100;
    audio.channels = 2;
    const std::size_t frames = 6 * 44100;
    audio.samples.resize(2 * frames);
    double c = 1.0, s = 0.0;                            // phasor at 220.5 Hz
    const double cw = 0.99950028472, sw = 0.03141075908;  // cos and sin of one step, rounded
    std::uint32_t noise = 0x12345678u;
    for (std::size_t i = 0; i < frames; ++i) {
        const double nc = c * cw - s * sw;
        s = s * cw + c * sw;
        c = nc;
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        const double n = static_cast<double>(noise) / 4294967296.0 - 0.5;
        const std::size_t section = i / 22050;             // half-second sections
        const double level = (section % 3 == 0) ? 0.05 : (section % 3 == 1) ? 0.9 : 0.3;
        audio.samples[2 * i] = level * (0.8 * s + 0.2 * n);
        audio.samples[2 * i + 1] = level * (0.7 * c + 0.3 * n);
    }
    std::string error;
    if (!orvhost::writeWav(path, audio, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

// Prints how two files differ; succeeds when they agree within 1e-6.
int compare(const char* a, const char* b) {
    orvhost::WavAudio x, y;
    std::string error;
    if (!orvhost::readWav(a, x, error) || !orvhost::readWav(b, y, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    if (x.channels != y.channels || x.samples.size() != y.samples.size() || x.rate != y.rate) {
        std::printf("compare: shapes differ (%d/%d channels, %zu/%zu samples)\n", x.channels, y.channels,
                    x.samples.size(), y.samples.size());
        return 1;
    }
    std::size_t differing = 0, worstAt = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < x.samples.size(); ++i) {
        const double d = std::fabs(x.samples[i] - y.samples[i]);
        if (x.samples[i] != y.samples[i]) ++differing;
        if (d > worst) {
            worst = d;
            worstAt = i;
        }
    }
    std::printf("compare: %zu samples, %zu differ, largest difference %.3g at frame %zu\n", x.samples.size(),
                differing, worst, worstAt / static_cast<std::size_t>(x.channels));
    return worst <= 1e-6 ? 0 : 1;
}

}  // namespace

int checkScreenshot(const char* path, int width, int height, const char* other);

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && !std::strcmp(argv[1], "--write-signal")) return writeSignal(argv[2]);
    if (argc == 4 && !std::strcmp(argv[1], "--compare")) return compare(argv[2], argv[3]);
    if ((argc == 5 || argc == 6) && !std::strcmp(argv[1], "--screenshot"))
        return checkScreenshot(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argc == 6 ? argv[5] : nullptr);
    return orvtest::runTests(argc > 1 ? argv[1] : "") == 0 ? 0 : 1;
}
