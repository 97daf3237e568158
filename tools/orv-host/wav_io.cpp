#include "tools/orv-host/wav_io.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace orvhost {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr int kMaxChannels = 64;

std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t u16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
void putTag(std::vector<unsigned char>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(tag[i]));
}

int bytesPerSample(WavEncoding e) {
    switch (e) {
        case WavEncoding::Pcm16: return 2;
        case WavEncoding::Pcm24: return 3;
        default: return 4;
    }
}

// Full scale of each PCM width is 2^(bits-1) steps both ways, as libsndfile reads and (with
// clipping) writes: a sample on the grid is written as exactly the step it stands for, and
// reads back as the same value; the largest positive step is one below full scale.
double readScale(WavEncoding e) {
    switch (e) {
        case WavEncoding::Pcm16: return 1.0 / 32768.0;
        case WavEncoding::Pcm24: return 1.0 / 8388608.0;
        default: return 1.0 / 2147483648.0;
    }
}

std::int64_t toPcm(double x, WavEncoding e) {
    const double top = e == WavEncoding::Pcm16 ? 32767.0 : e == WavEncoding::Pcm24 ? 8388607.0 : 2147483647.0;
    if (std::isnan(x)) return 0;
    double v = std::nearbyint(x * (top + 1.0));
    if (v > top) v = top;
    if (v < -top - 1.0) v = -top - 1.0;
    return static_cast<std::int64_t>(v);
}

// Reads the body of a "fmt " chunk. False with a one-line reason.
bool parseFormat(const unsigned char* body, std::size_t length, int& channels, std::uint32_t& rate, int& blockAlign,
                 WavEncoding& encoding, std::string& error) {
    if (length < 16) {
        error = "WAV format chunk too short";
        return false;
    }
    std::uint16_t tag = u16(body);
    channels = u16(body + 2);
    rate = u32(body + 4);
    blockAlign = u16(body + 12);
    const int bits = u16(body + 14);
    if (tag == kFormatExtensible) {
        if (length < 40) {
            error = "WAV extensible format chunk too short";
            return false;
        }
        tag = u16(body + 24);  // first two bytes of the sub-format identifier
    }
    if (tag == kFormatPcm && bits == 16) encoding = WavEncoding::Pcm16;
    else if (tag == kFormatPcm && bits == 24) encoding = WavEncoding::Pcm24;
    else if (tag == kFormatPcm && bits == 32) encoding = WavEncoding::Pcm32;
    else if (tag == kFormatFloat && bits == 32) encoding = WavEncoding::Float32;
    else {
        error = "unsupported WAV sample format (format " + std::to_string(tag) + ", " + std::to_string(bits) +
                " bits; PCM 16/24/32 and float 32 are supported)";
        return false;
    }
    if (channels < 1 || channels > kMaxChannels || rate == 0 || blockAlign != channels * bytesPerSample(encoding)) {
        error = "malformed WAV format chunk";
        return false;
    }
    return true;
}

double decodeSample(const unsigned char* p, WavEncoding encoding) {
    const double scale = readScale(encoding);
    if (encoding == WavEncoding::Float32) {
        std::uint32_t raw = u32(p);
        float f;
        std::memcpy(&f, &raw, sizeof f);
        return f;
    }
    if (encoding == WavEncoding::Pcm16) return static_cast<std::int16_t>(u16(p)) * scale;
    if (encoding == WavEncoding::Pcm24) {
        std::int32_t s = static_cast<std::int32_t>(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                                                   std::uint32_t(p[2]) << 24) >> 8;
        return s * scale;
    }
    return static_cast<std::int32_t>(u32(p)) * scale;
}

void encodeSample(double x, WavEncoding encoding, unsigned char* out) {
    std::uint32_t v;
    if (encoding == WavEncoding::Float32) {
        float f = static_cast<float>(x);
        std::memcpy(&v, &f, sizeof v);
    } else {
        v = static_cast<std::uint32_t>(toPcm(x, encoding));
    }
    for (int b = 0; b < bytesPerSample(encoding); ++b) out[b] = static_cast<unsigned char>(v >> (8 * b));
}

// The header of a WAV file up to the start of its sample bytes.
std::vector<unsigned char> wavHeader(int channels, int rate, WavEncoding encoding, std::uint64_t frames,
                                     std::uint64_t dataBytes) {
    std::vector<unsigned char> out;
    const int width = bytesPerSample(encoding);
    const bool isFloat = encoding == WavEncoding::Float32;
    const std::size_t header = isFloat ? 58 : 44;  // float adds a 2-byte extension size and a fact chunk
    putTag(out, "RIFF");
    put32(out, static_cast<std::uint32_t>(header - 8 + dataBytes + (dataBytes & 1)));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, isFloat ? 18 : 16);
    put16(out, isFloat ? kFormatFloat : kFormatPcm);
    put16(out, static_cast<std::uint16_t>(channels));
    put32(out, static_cast<std::uint32_t>(rate));
    put32(out, static_cast<std::uint32_t>(rate) * channels * width);
    put16(out, static_cast<std::uint16_t>(channels * width));
    put16(out, static_cast<std::uint16_t>(8 * width));
    if (isFloat) {
        put16(out, 0);
        putTag(out, "fact");
        put32(out, 4);
        put32(out, static_cast<std::uint32_t>(frames));
    }
    putTag(out, "data");
    put32(out, static_cast<std::uint32_t>(dataBytes));
    return out;
}

constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFF0ull - 58;

}  // namespace

bool parseWav(const unsigned char* bytes, std::size_t size, WavAudio& audio, std::string& error) {
    if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    WavEncoding encoding = WavEncoding::Float32;
    int channels = 0, blockAlign = 0;
    std::uint32_t rate = 0;
    std::size_t pos = 12;
    while (pos + 8 <= size) {
        const unsigned char* chunk = bytes + pos;
        const std::size_t declared = u32(chunk + 4);
        const std::size_t available = size - pos - 8;
        const std::size_t length = declared < available ? declared : available;
        const unsigned char* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (!parseFormat(body, length, channels, rate, blockAlign, encoding, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "WAV data before its format";
                return false;
            }
            const std::size_t frames = length / static_cast<std::size_t>(blockAlign);
            const int width = bytesPerSample(encoding);
            audio.channels = channels;
            audio.rate = static_cast<int>(rate > 0x7FFFFFFF ? 0x7FFFFFFF : rate);
            audio.encoding = encoding;
            audio.samples.resize(frames * static_cast<std::size_t>(channels));
            for (std::size_t i = 0; i < audio.samples.size(); ++i) audio.samples[i] = decodeSample(body + i * width, encoding);
            return true;
        }
        const std::size_t step = 8 + declared + (declared & 1);  // chunks are padded to even lengths
        if (step > size - pos) break;
        pos += step;
    }
    error = haveFormat ? "WAV file without audio data" : "WAV file without a format chunk";
    return false;
}

std::vector<unsigned char> encodeWav(const WavAudio& audio) {
    std::vector<unsigned char> out;
    if (audio.channels < 1 || audio.channels > kMaxChannels || audio.rate <= 0) return out;
    const int width = bytesPerSample(audio.encoding);
    const std::size_t frames = audio.frames();
    const unsigned long long dataBytes = static_cast<unsigned long long>(frames) * audio.channels * width;
    if (dataBytes > kMaxDataBytes) return out;
    out = wavHeader(audio.channels, audio.rate, audio.encoding, frames, dataBytes);
    const std::size_t header = out.size();
    out.resize(header + static_cast<std::size_t>(dataBytes) + (dataBytes & 1), 0);
    for (std::size_t i = 0; i < frames * static_cast<std::size_t>(audio.channels); ++i)
        encodeSample(audio.samples[i], audio.encoding, &out[header + i * width]);
    return out;
}

bool WavStreamReader::open(std::FILE* f, std::string& error) {
    file = f;
    readError = false;
    unsigned char head[12];
    if (!f || std::fread(head, 1, 12, f) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    std::uint32_t rate = 0;
    unsigned char chunk[8];
    while (std::fread(chunk, 1, 8, f) == 8) {
        const std::uint64_t length = u32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "WAV data before its format";
                return false;
            }
            sampleRate = static_cast<int>(rate > 0x7FFFFFFF ? 0x7FFFFFFF : rate);
            declared = length / static_cast<std::uint64_t>(blockAlign);
            remaining = declared * static_cast<std::uint64_t>(blockAlign);
            return true;
        }
        std::uint64_t skip = length + (length & 1);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char body[40] = {};
            const std::size_t want = length < sizeof body ? static_cast<std::size_t>(length) : sizeof body;
            if (std::fread(body, 1, want, f) != want) break;
            if (!parseFormat(body, static_cast<std::size_t>(length), numChannels, rate, blockAlign, sampleEncoding, error))
                return false;
            haveFormat = true;
            skip -= want;
        }
        // Skip the rest of the chunk by reading it: works on pipes as well as on files.
        unsigned char sink[4096];
        while (skip > 0) {
            const std::size_t n = skip < sizeof sink ? static_cast<std::size_t>(skip) : sizeof sink;
            if (std::fread(sink, 1, n, f) != n) {
                skip = 1;
                break;
            }
            skip -= n;
        }
        if (skip) break;
    }
    error = haveFormat ? "WAV file without audio data" : "WAV file without a format chunk";
    return false;
}

std::size_t WavStreamReader::read(double* interleaved, std::size_t frames) {
    if (!file || blockAlign <= 0) return 0;
    const std::uint64_t wanted = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(blockAlign);
    const std::size_t bytes = static_cast<std::size_t>(wanted < remaining ? wanted : remaining);
    raw.resize(bytes);
    const std::size_t got = bytes ? std::fread(raw.data(), 1, bytes, file) : 0;
    if (got < bytes && std::ferror(file)) readError = true;
    remaining = got < bytes ? 0 : remaining - got;
    const std::size_t whole = got / static_cast<std::size_t>(blockAlign);
    const int width = bytesPerSample(sampleEncoding);
    for (std::size_t i = 0; i < whole * static_cast<std::size_t>(numChannels); ++i)
        interleaved[i] = decodeSample(&raw[i * width], sampleEncoding);
    return whole;
}

bool WavStreamWriter::open(std::FILE* f, int channels, int rate, WavEncoding encoding, bool seekable) {
    file = f;
    numChannels = channels;
    sampleEncoding = encoding;
    canSeek = seekable;
    dataBytes = 0;
    if (!f || channels < 1 || channels > kMaxChannels || rate <= 0) return false;
    // Sizes are unknown until the end: a pipe keeps the largest sizes WAV allows, which readers
    // take as "up to the end of the stream".
    const std::vector<unsigned char> header = wavHeader(channels, rate, encoding, 0xFFFFFFFFu, kMaxDataBytes);
    return std::fwrite(header.data(), 1, header.size(), f) == header.size();
}

bool WavStreamWriter::write(const double* interleaved, std::size_t frames) {
    if (!file) return false;
    const int width = bytesPerSample(sampleEncoding);
    const std::size_t samples = frames * static_cast<std::size_t>(numChannels);
    if (dataBytes + static_cast<std::uint64_t>(samples) * width > kMaxDataBytes) return false;
    raw.resize(samples * width);
    for (std::size_t i = 0; i < samples; ++i) encodeSample(interleaved[i], sampleEncoding, &raw[i * width]);
    if (std::fwrite(raw.data(), 1, raw.size(), file) != raw.size()) return false;
    dataBytes += raw.size();
    return true;
}

bool WavStreamWriter::finish() {
    if (!file) return false;
    bool ok = true;
    if (dataBytes & 1) ok = std::fputc(0, file) != EOF;
    if (canSeek && ok) {
        const std::uint64_t frames = dataBytes / (static_cast<std::uint64_t>(numChannels) * bytesPerSample(sampleEncoding));
        std::vector<unsigned char> header = wavHeader(numChannels, 1, sampleEncoding, frames, dataBytes);
        // Only the size fields change: rewrite the RIFF size, the fact count and the data size.
        ok = std::fseek(file, 4, SEEK_SET) == 0 && std::fwrite(&header[4], 1, 4, file) == 4;
        if (ok && sampleEncoding == WavEncoding::Float32)
            ok = std::fseek(file, 46, SEEK_SET) == 0 && std::fwrite(&header[46], 1, 4, file) == 4;
        ok = ok && std::fseek(file, static_cast<long>(header.size() - 4), SEEK_SET) == 0 &&
             std::fwrite(&header[header.size() - 4], 1, 4, file) == 4;
    }
    ok = std::fflush(file) == 0 && ok;
    file = nullptr;
    return ok;
}

bool readWav(const std::string& path, WavAudio& audio, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        error = "cannot read " + path;
        return false;
    }
    if (!parseWav(bytes.data(), bytes.size(), audio, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool writeWav(const std::string& path, const WavAudio& audio, std::string& error) {
    std::vector<unsigned char> bytes = encodeWav(audio);
    if (bytes.empty()) {
        error = "audio cannot be stored as WAV: " + path;
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) error = "cannot write " + path;
    return ok;
}

}  // namespace orvhost
