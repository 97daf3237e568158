// Audio files where libsndfile is not available (the Windows build): WAV only, through the
// built-in streaming reader and writer.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/wav_io.h"

#include <cstdio>

namespace orvhost {
namespace {

SampleDepth depthOf(WavEncoding e) {
    switch (e) {
        case WavEncoding::Pcm16: return SampleDepth::Pcm16;
        case WavEncoding::Pcm24: return SampleDepth::Pcm24;
        case WavEncoding::Pcm32: return SampleDepth::Pcm32;
        default: return SampleDepth::Float;
    }
}

}  // namespace

struct AudioReader::Impl {
    std::FILE* file = nullptr;
    WavStreamReader wav;
};

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() { close(); }

bool AudioReader::open(const std::string& path, std::string& error) {
    close();
    impl.reset(new Impl);
    impl->file = std::fopen(path.c_str(), "rb");
    if (!impl->file) {
        error = "cannot read audio file " + path + ": " + lastSystemError();
        close();
        return false;
    }
    std::string why;
    if (!impl->wav.open(impl->file, why)) {
        error = "cannot read audio file " + path + ": " + why;
        close();
        return false;
    }
    fileInfo = AudioFileInfo{};
    fileInfo.channels = impl->wav.channels();
    fileInfo.rate = impl->wav.rate();
    fileInfo.frames = static_cast<long long>(impl->wav.declaredFrames());
    fileInfo.container = Container::Wav;
    fileInfo.depth = depthOf(impl->wav.encoding());
    return true;
}

bool AudioReader::openMemory(const unsigned char* bytes, std::size_t size, std::string& error) {
    // Through a temporary file: the Windows C runtime has no memory streams.
    close();
    std::FILE* tmp = std::tmpfile();
    if (!tmp || (size && std::fwrite(bytes, 1, size, tmp) != size) || std::fseek(tmp, 0, SEEK_SET) != 0) {
        if (tmp) std::fclose(tmp);
        error = "cannot hold audio in a temporary file";
        return false;
    }
    impl.reset(new Impl);
    impl->file = tmp;
    std::string why;
    if (!impl->wav.open(impl->file, why)) {
        error = "cannot read audio file (memory): " + why;
        close();
        return false;
    }
    fileInfo = AudioFileInfo{};
    fileInfo.channels = impl->wav.channels();
    fileInfo.rate = impl->wav.rate();
    fileInfo.frames = static_cast<long long>(impl->wav.declaredFrames());
    fileInfo.depth = depthOf(impl->wav.encoding());
    return true;
}

std::size_t AudioReader::read(double* interleaved, std::size_t frames) {
    return impl && impl->file ? impl->wav.read(interleaved, frames) : 0;
}

bool AudioReader::failed() const { return impl && impl->wav.failed(); }

bool AudioReader::rewind() {
    if (!impl || !impl->file || std::fseek(impl->file, 0, SEEK_SET) != 0) return false;
    std::string why;
    return impl->wav.open(impl->file, why);
}

void AudioReader::close() {
    if (impl && impl->file) std::fclose(impl->file);
    impl.reset();
}

struct AudioWriter::Impl {
    OutputPlan plan;
    std::FILE* file = nullptr;
    WavStreamWriter wav;
    bool ok = true;
};

AudioWriter::AudioWriter() = default;
AudioWriter::~AudioWriter() { abandon(); }

bool AudioWriter::open(const std::string& path, Container container, SampleDepth depth, int channels, int rate,
                       std::string& error) {
    abandon();
    if (container != Container::Wav || depth == SampleDepth::Pcm8 || depth == SampleDepth::Double) {
        error = std::string("this build writes WAV files of 16, 24 or 32 bits or 32-bit float only, not ") +
                containerName(container) + " " + depthName(depth) + ": " + path;
        return false;
    }
    impl.reset(new Impl);
    if (!planOutput(path, impl->plan, error)) {
        impl.reset();
        return false;
    }
    impl->file = std::fopen(impl->plan.writePath.c_str(), "wb");
    if (!impl->file) {
        error = "cannot write audio file " + path + ": " + lastSystemError();
        impl.reset();
        return false;
    }
    const WavEncoding encoding = depth == SampleDepth::Pcm16   ? WavEncoding::Pcm16
                                 : depth == SampleDepth::Pcm24 ? WavEncoding::Pcm24
                                 : depth == SampleDepth::Pcm32 ? WavEncoding::Pcm32
                                                               : WavEncoding::Float32;
    if (!impl->wav.open(impl->file, channels, rate, encoding, !impl->plan.direct)) {
        error = "cannot write audio file " + path;
        abandon();
        return false;
    }
    return true;
}

bool AudioWriter::write(const double* interleaved, std::size_t frames) {
    if (!impl || !impl->ok) return false;
    impl->ok = impl->wav.write(interleaved, frames);
    return impl->ok;
}

bool AudioWriter::finish(std::string& error) {
    if (!impl) {
        error = "no output file open";
        return false;
    }
    bool ok = impl->wav.finish() && impl->ok;
    ok = std::fclose(impl->file) == 0 && ok;
    impl->file = nullptr;
    if (ok && !impl->plan.direct) ok = replaceFile(impl->plan.writePath, impl->plan.target);
    if (!ok) {
        error = "cannot write audio file " + impl->plan.target;
        abandon();
        return false;
    }
    impl.reset();
    return true;
}

void AudioWriter::abandon() {
    if (!impl) return;
    if (impl->file) std::fclose(impl->file);
    if (!impl->plan.direct) std::remove(impl->plan.writePath.c_str());
    impl.reset();
}

}  // namespace orvhost
