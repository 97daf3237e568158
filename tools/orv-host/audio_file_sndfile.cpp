// Audio files through libsndfile. WAV to a pipe, which libsndfile cannot write (it seeks back
// to fill in sizes), goes through the built-in streaming WAV writer.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/wav_io.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace orvhost {
namespace {

// A file held in memory, read through libsndfile's virtual I/O.
struct MemoryFile {
    const unsigned char* bytes = nullptr;
    sf_count_t size = 0, pos = 0;
};

sf_count_t memLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t memSeek(sf_count_t offset, int whence, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    // Offsets from a hostile header can be anything: refuse what would overflow or go negative.
    if ((offset > 0 && base > std::numeric_limits<sf_count_t>::max() - offset) || base + offset < 0) return -1;
    m->pos = base + offset;
    return m->pos;
}
sf_count_t memRead(void* out, sf_count_t count, void* user) {
    auto* m = static_cast<MemoryFile*>(user);
    if (count <= 0 || m->pos >= m->size) return 0;
    const sf_count_t n = count < m->size - m->pos ? count : m->size - m->pos;
    std::memcpy(out, m->bytes + m->pos, static_cast<std::size_t>(n));
    m->pos += n;
    return n;
}
sf_count_t memWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t memTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

AudioFileInfo describe(const SF_INFO& sf) {
    AudioFileInfo info;
    info.channels = sf.channels;
    info.rate = sf.samplerate;
    info.frames = sf.frames >= 0 && sf.frames < SF_COUNT_MAX ? static_cast<long long>(sf.frames) : -1;
#ifdef SF_FORMAT_MPEG
    // An MP3 file's frame count is worked out from its bit rate and length, and the decoder
    // gives somewhat fewer frames than that; only a read error shows damage there.
    if ((sf.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) info.framesExact = false;
#endif
    switch (sf.format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_FLAC: info.container = Container::Flac; break;
        case SF_FORMAT_AIFF: info.container = Container::Aiff; break;
        case SF_FORMAT_OGG: info.container = Container::Ogg; break;
        default: info.container = Container::Wav; break;
    }
    switch (sf.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: info.depth = SampleDepth::Pcm8; break;
        case SF_FORMAT_PCM_16: info.depth = SampleDepth::Pcm16; break;
        case SF_FORMAT_PCM_24: info.depth = SampleDepth::Pcm24; break;
        case SF_FORMAT_PCM_32: info.depth = SampleDepth::Pcm32; break;
        case SF_FORMAT_FLOAT: info.depth = SampleDepth::Float; break;
        case SF_FORMAT_DOUBLE: info.depth = SampleDepth::Double; break;
        default: info.depth = SampleDepth::Lossy; break;
    }
    return info;
}

int sndfileFormat(Container c, SampleDepth d) {
    int major = SF_FORMAT_WAV;
    if (c == Container::Flac) major = SF_FORMAT_FLAC;
    if (c == Container::Aiff) major = SF_FORMAT_AIFF;
    if (c == Container::Ogg) return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    switch (d) {
        case SampleDepth::Pcm8: return major | (c == Container::Wav ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8);
        case SampleDepth::Pcm16: return major | SF_FORMAT_PCM_16;
        case SampleDepth::Pcm24: return major | SF_FORMAT_PCM_24;
        case SampleDepth::Pcm32: return major | SF_FORMAT_PCM_32;
        case SampleDepth::Double: return major | SF_FORMAT_DOUBLE;
        default: return major | SF_FORMAT_FLOAT;
    }
}

}  // namespace

struct AudioReader::Impl {
    SNDFILE* file = nullptr;
    MemoryFile memory;
    SF_VIRTUAL_IO io{memLength, memSeek, memRead, memWrite, memTell};
    bool failed = false;
};

AudioReader::AudioReader() = default;
AudioReader::~AudioReader() { close(); }

namespace {
bool acceptOpened(SNDFILE* file, const SF_INFO& sf, const std::string& name, AudioFileInfo& info, std::string& error) {
    if (!file) {
        error = "cannot read audio file " + name + ": " + sf_strerror(nullptr);
        return false;
    }
    if (sf.channels < 1 || sf.samplerate < 1) {
        error = "cannot read audio file " + name + ": no channels or no sample rate";
        return false;
    }
    info = describe(sf);
    // For a data chunk cut short libsndfile reads what is there and notes the declared size
    // in its log ("data : 176400 (should be 99956)"); that is how a truncated WAV shows.
    char log[4096] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    for (const char* line = log; line && *line; line = std::strchr(line, '\n') ? std::strchr(line, '\n') + 1 : nullptr) {
        const char* end = std::strchr(line, '\n');
        const std::string text(line, end ? static_cast<std::size_t>(end - line) : std::strlen(line));
        if (text.compare(0, 4, "data") == 0 && text.find("should be") != std::string::npos) info.shorterThanHeader = true;
    }
    return true;
}
}  // namespace

bool AudioReader::open(const std::string& path, std::string& error) {
    close();
    impl.reset(new Impl);
    SF_INFO sf{};
    impl->file = sf_open(path.c_str(), SFM_READ, &sf);
    if (!acceptOpened(impl->file, sf, path, fileInfo, error)) {
        close();
        return false;
    }
    return true;
}

bool AudioReader::openMemory(const unsigned char* bytes, std::size_t size, std::string& error) {
    close();
    impl.reset(new Impl);
    impl->memory.bytes = bytes;
    impl->memory.size = static_cast<sf_count_t>(size);
    SF_INFO sf{};
    impl->file = sf_open_virtual(&impl->io, SFM_READ, &sf, &impl->memory);
    if (!acceptOpened(impl->file, sf, "(memory)", fileInfo, error)) {
        close();
        return false;
    }
    return true;
}

std::size_t AudioReader::read(double* interleaved, std::size_t frames) {
    if (!impl || !impl->file || frames == 0) return 0;
    const sf_count_t got = sf_readf_double(impl->file, interleaved, static_cast<sf_count_t>(frames));
    if (got < static_cast<sf_count_t>(frames) && sf_error(impl->file) != SF_ERR_NO_ERROR) impl->failed = true;
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

bool AudioReader::failed() const { return impl && impl->failed; }

bool AudioReader::rewind() { return impl && impl->file && sf_seek(impl->file, 0, SEEK_SET) == 0; }

void AudioReader::close() {
    if (impl && impl->file) sf_close(impl->file);
    impl.reset();
}

struct AudioWriter::Impl {
    OutputPlan plan;
    SNDFILE* file = nullptr;
    std::FILE* stream = nullptr;  // WAV to a pipe
    WavStreamWriter wav;
    bool ok = true;
    unsigned long long framesWritten = 0, maxFrames = ~0ull;
    int channels = 2;
    double steps = 0.0;  // 2^(bits-1) for integer formats, 0 otherwise
    std::vector<double> rounded;
};

AudioWriter::AudioWriter() = default;
AudioWriter::~AudioWriter() { abandon(); }

bool AudioWriter::open(const std::string& path, Container container, SampleDepth depth, int channels, int rate,
                       std::string& error) {
    abandon();
    impl.reset(new Impl);
    if (!planOutput(path, impl->plan, error)) {
        impl.reset();
        return false;
    }
    const bool pipe = impl->plan.direct && container == Container::Wav && [&] {
        std::FILE* probe = std::fopen(impl->plan.writePath.c_str(), "wb");
        if (!probe) return false;
        const bool seekable = std::fseek(probe, 0, SEEK_SET) == 0;
        if (seekable) std::fclose(probe);
        else impl->stream = probe;
        return !seekable;
    }();
    if (pipe) {
        WavEncoding encoding = depth == SampleDepth::Pcm16   ? WavEncoding::Pcm16
                               : depth == SampleDepth::Pcm24 ? WavEncoding::Pcm24
                               : depth == SampleDepth::Pcm32 ? WavEncoding::Pcm32
                                                             : WavEncoding::Float32;
        if (!impl->wav.open(impl->stream, channels, rate, encoding, false)) {
            error = "cannot write audio file " + path + ": " + lastSystemError();
            abandon();
            return false;
        }
        return true;
    }
    SF_INFO sf{};
    sf.samplerate = rate;
    sf.channels = channels;
    sf.format = sndfileFormat(container, depth);
    // WAV and AIFF keep their sizes in 32 bits: a stream that would pass 4 GB fails clearly
    // instead of leaving a file whose header lies.
    if (container == Container::Wav || container == Container::Aiff) {
        const int bytes = depth == SampleDepth::Pcm8 ? 1 : depth == SampleDepth::Pcm16 ? 2
                          : depth == SampleDepth::Pcm24 ? 3 : depth == SampleDepth::Double ? 8 : 4;
        impl->maxFrames = 0xFFFFFF00ull / static_cast<unsigned long long>(bytes * channels);
    }
    if (!sf_format_check(&sf)) {
        error = std::string("cannot write ") + containerName(container) + " with " + depthName(depth) + " samples, " +
                std::to_string(channels) + " channels at " + std::to_string(rate) + " Hz: " + path;
        impl.reset();
        return false;
    }
    impl->file = sf_open(impl->plan.writePath.c_str(), SFM_WRITE, &sf);
    if (!impl->file) {
        error = "cannot write audio file " + path + ": " + sf_strerror(nullptr);
        impl->plan.direct = true;  // nothing of ours to remove
        abandon();
        return false;
    }
    // Integer samples clip at full scale instead of wrapping round to the other sign.
    sf_command(impl->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    impl->channels = channels;
    if (integerBits(depth) > 0 && container != Container::Ogg) impl->steps = std::ldexp(1.0, integerBits(depth) - 1);
    return true;
}

bool AudioWriter::write(const double* interleaved, std::size_t frames) {
    if (!impl || !impl->ok) return false;
    if (impl->stream) {
        impl->ok = impl->wav.write(interleaved, frames);
    } else if (impl->file) {
        impl->framesWritten += frames;
        if (impl->framesWritten > impl->maxFrames) return impl->ok = false;
        const double* data = interleaved;
        if (impl->steps > 0.0) {
            // libsndfile's clipping conversion rounds down, which shifts every sample by half a
            // step; rounding to the nearest step here first makes its conversion exact.
            const std::size_t n = frames * static_cast<std::size_t>(impl->channels);
            impl->rounded.resize(n);
            const double top = (impl->steps - 1.0) / impl->steps;
            for (std::size_t i = 0; i < n; ++i) {
                const double x = interleaved[i];
                double v = std::isnan(x) ? 0.0 : std::nearbyint(x * impl->steps) / impl->steps;
                impl->rounded[i] = v > top ? top : v < -1.0 ? -1.0 : v;
            }
            data = impl->rounded.data();
        }
        impl->ok = sf_writef_double(impl->file, data, static_cast<sf_count_t>(frames)) == static_cast<sf_count_t>(frames);
    }
    return impl->ok;
}

bool AudioWriter::finish(std::string& error) {
    if (!impl) {
        error = "no output file open";
        return false;
    }
    bool ok = impl->ok;
    if (impl->stream) {
        ok = impl->wav.finish() && ok;
        ok = std::fclose(impl->stream) == 0 && ok;
        impl->stream = nullptr;
    }
    if (impl->file) {
        ok = sf_error(impl->file) == SF_ERR_NO_ERROR && ok;
        ok = sf_close(impl->file) == 0 && ok;
        impl->file = nullptr;
    }
    if (!completeOutput(impl->plan, ok, error)) {
        abandon();
        return false;
    }
    impl.reset();
    return true;
}

void AudioWriter::abandon() {
    if (!impl) return;
    if (impl->stream) std::fclose(impl->stream);
    if (impl->file) sf_close(impl->file);
    discardOutput(impl->plan);
    impl.reset();
}

}  // namespace orvhost
