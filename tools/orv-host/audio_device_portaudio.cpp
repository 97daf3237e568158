// The sound card through PortAudio. PortAudio and the audio systems under it (ALSA, JACK) print
// their probing noise on standard error while they start and open streams; orv-host says in
// its own words what went wrong, so that noise is held back during those calls.
#include "tools/orv-host/audio_device.h"

#include <portaudio.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(__linux__)
#include <fcntl.h>
#include <pa_jack.h>
#include <unistd.h>
#endif

namespace orvhost {
namespace {

// Standard error goes to /dev/null for the life of this object (Linux only).
class QuietStderr {
public:
    QuietStderr() {
#if defined(__linux__)
        std::fflush(stderr);
        saved = dup(2);
        const int null = open("/dev/null", O_WRONLY);
        if (saved >= 0 && null >= 0) dup2(null, 2);
        if (null >= 0) close(null);
#endif
    }
    ~QuietStderr() {
#if defined(__linux__)
        if (saved >= 0) {
            dup2(saved, 2);
            close(saved);
        }
#endif
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved = -1;
};

// PortAudio is started once per use and ended with it (PortAudio counts the pairs).
class PortAudioSession {
public:
    PortAudioSession() {
        QuietStderr quiet;
#if defined(__linux__)
        // The JACK ports appear under this name, ready to be connected with any JACK tool.
        PaJack_SetClientName("orv-host");
#endif
        status = Pa_Initialize();
    }
    ~PortAudioSession() {
        if (status == paNoError && !abandoned) Pa_Terminate();
    }
    // A stream whose device went away cannot be closed (PortAudio's JACK code waits forever
    // for the server's acknowledgement): it is left to the end of the process, and so is
    // PortAudio, which would close it.
    void abandon() { abandoned = true; }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok(std::string& error) const {
        if (status == paNoError) return true;
        error = std::string("cannot start the audio system: ") + Pa_GetErrorText(status);
        return false;
    }

private:
    PaError status;
    bool abandoned = false;
};

#if defined(_WIN32)
const char kNoDeviceReason[] = "no sound card";
#else
const char kNoDeviceReason[] = "no sound card, and no JACK or PulseAudio server reached";
#endif

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string describe(PaDeviceIndex index) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    const PaHostApiInfo* api = info ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
    return std::string(info ? info->name : "?") + " (" + (api ? api->name : "?") + ")";
}

std::string formatRate(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f Hz", rate);
    return text;
}

std::string errorText(PaError error) {
    if (error == paUnanticipatedHostError) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host && host->errorText && *host->errorText) return host->errorText;
    }
    return Pa_GetErrorText(error);
}

bool hasDirections(PaDeviceIndex index, bool input) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    return info && info->maxOutputChannels > 0 && (!input || info->maxInputChannels > 0);
}

// The device --device names: a number from --list-devices, a whole name (with or without its
// audio system) in any case, or a part of exactly one name.
bool findDevice(const std::string& name, bool input, PaDeviceIndex& found, std::string& error) {
    const int count = Pa_GetDeviceCount();
    const std::string wanted = lower(name);
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() < 6) {
        found = std::atoi(name.c_str());
        if (found < count) return true;
    }
    std::vector<PaDeviceIndex> exact, partial;
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info || !hasDirections(i, input)) continue;
        if (lower(info->name) == wanted || lower(describe(i)) == wanted) exact.push_back(i);
        else if (lower(describe(i)).find(wanted) != std::string::npos) partial.push_back(i);
    }
    const std::vector<PaDeviceIndex>& matches = exact.empty() ? partial : exact;
    if (matches.size() == 1) {
        found = matches[0];
        return true;
    }
    if (matches.empty()) {
        error = "no audio device " + std::string(input ? "with input and output " : "") + "named \"" + name +
                "\" (orv-host editor --list-devices lists them)";
    } else {
        error = "--device \"" + name + "\" names " + std::to_string(matches.size()) + " devices:";
        for (PaDeviceIndex i : matches) error += " [" + std::to_string(i) + "] " + describe(i) + ";";
        error += " give its number or its whole name";
    }
    return false;
}

}  // namespace

struct AudioDevice::Impl {
    PortAudioSession session;
    PaDeviceIndex device = paNoDevice;
    int inChannels = 0, outChannels = 0;
    double suggestedLatency = 0.0;
    int bufferFrames = 512;
    PaStream* stream = nullptr;
    RenderFunction render = nullptr;
    void* context = nullptr;
    std::atomic<long long>* underflows = nullptr;
    std::atomic<bool> finished{false};
    bool started = false;

    PaStreamParameters parameters(bool input) const {
        PaStreamParameters p{};
        p.device = device;
        p.channelCount = input ? inChannels : outChannels;
        p.sampleFormat = paFloat32;
        p.suggestedLatency = suggestedLatency;
        p.hostApiSpecificStreamInfo = nullptr;
        return p;
    }

    static int callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags flags, void* user) {
        Impl& self = *static_cast<Impl*>(user);
        if (flags & paOutputUnderflow) self.underflows->fetch_add(1, std::memory_order_relaxed);
        self.render(self.context, static_cast<const float*>(input), input ? self.inChannels : 0,
                    static_cast<float*>(output), self.outChannels, static_cast<int>(frames));
        return paContinue;
    }
    static void streamFinished(void* user) { static_cast<Impl*>(user)->finished.store(true); }
};

AudioDevice::AudioDevice() : impl(new Impl) { impl->underflows = &underflows; }

AudioDevice::~AudioDevice() {
    stop();
    delete impl;
}

bool AudioDevice::supported() { return true; }

bool AudioDevice::choose(const DeviceRequest& request, std::string& error) {
    nothingThere = false;
    if (!impl->session.ok(error)) return false;
    Impl& s = *impl;
    if (!request.name.empty()) {
        if (!findDevice(request.name, request.input, s.device, error)) return false;
        if (!hasDirections(s.device, request.input)) {
            error = "the audio device " + describe(s.device) + " has no " + (request.input ? "input and " : "") + "output";
            return false;
        }
    } else {
        s.device = Pa_GetDefaultOutputDevice();
        if (s.device == paNoDevice) {
            nothingThere = true;
            error = std::string("there is no audio output device (") + kNoDeviceReason + ")";
            return false;
        }
        if (request.input && !hasDirections(s.device, true)) {
            error = "the default audio device " + describe(s.device) +
                    " has no input: choose one with --device (orv-host editor --list-devices lists them)";
            return false;
        }
    }
    const PaDeviceInfo* info = Pa_GetDeviceInfo(s.device);
    deviceDescription = describe(s.device);
    s.outChannels = std::min(2, info->maxOutputChannels);
    s.inChannels = request.input ? std::min(2, info->maxInputChannels) : 0;
    s.bufferFrames = request.bufferFrames;
    s.suggestedLatency = request.input ? info->defaultLowOutputLatency : info->defaultHighOutputLatency;
    streamRate = request.rate > 0 ? request.rate : info->defaultSampleRate;
    const PaStreamParameters out = s.parameters(false), in = s.parameters(true);
    PaError check;
    {
        QuietStderr quiet;
        check = Pa_IsFormatSupported(request.input ? &in : nullptr, &out, streamRate);
    }
    if (check == paInvalidSampleRate) {
        error = "the audio device " + deviceDescription + " does not play at " + formatRate(streamRate) +
                " (it runs at " + formatRate(info->defaultSampleRate) + "): " +
                (request.input ? "leave out --rate" : "convert the file to that rate") +
                ", or choose another device with --device";
        return false;
    }
    if (check == paDeviceUnavailable) {
        error = "the audio device " + deviceDescription + " is busy: another program is using it";
        return false;
    }
    if (check != paFormatIsSupported) {
        error = "cannot use the audio device " + deviceDescription + ": " + errorText(check);
        return false;
    }
    return true;
}

bool AudioDevice::start(RenderFunction render, void* context, std::string& error) {
    Impl& s = *impl;
    s.render = render;
    s.context = context;
    s.finished = false;
    const PaStreamParameters out = s.parameters(false), in = s.parameters(true);
    PaError status;
    {
        QuietStderr quiet;
        status = Pa_OpenStream(&s.stream, s.inChannels ? &in : nullptr, &out, streamRate,
                               static_cast<unsigned long>(s.bufferFrames), paNoFlag, &Impl::callback, &s);
    }
    if (status == paDeviceUnavailable) {
        error = "the audio device " + deviceDescription + " is busy: another program is using it";
        return false;
    }
    // A JACK server whose port limit is reached answers a new client's ports this way.
    const PaDeviceInfo* info = Pa_GetDeviceInfo(s.device);
    const PaHostApiInfo* api = info ? Pa_GetHostApiInfo(info->hostApi) : nullptr;
    if (status == paInsufficientMemory && api && api->type == paJACK) {
        error = "the audio device " + deviceDescription + " is busy: the JACK server has no room for orv-host's ports";
        return false;
    }
    if (status != paNoError) {
        s.stream = nullptr;
        error = "cannot open the audio device " + deviceDescription + ": " + errorText(status);
        return false;
    }
    Pa_SetStreamFinishedCallback(s.stream, &Impl::streamFinished);
    if (const PaStreamInfo* info = Pa_GetStreamInfo(s.stream)) {
        latencyOut = info->outputLatency;
        latencyIn = info->inputLatency;
    }
    {
        QuietStderr quiet;
        status = Pa_StartStream(s.stream);
    }
    if (status != paNoError) {
        Pa_CloseStream(s.stream);
        s.stream = nullptr;
        error = "cannot start the audio device " + deviceDescription + ": " + errorText(status);
        return false;
    }
    s.started = true;
    return true;
}

bool AudioDevice::running() const {
    const Impl& s = *impl;
    return s.stream && s.started && !s.finished.load() && Pa_IsStreamActive(s.stream) == 1;
}

void AudioDevice::stop() {
    Impl& s = *impl;
    if (!s.stream) return;
    QuietStderr quiet;
    if (running()) {
        Pa_StopStream(s.stream);
        Pa_CloseStream(s.stream);
    } else {
        s.session.abandon();
    }
    s.stream = nullptr;
    s.started = false;
}

bool listAudioDevices(std::string& text, std::string& error) {
    PortAudioSession session;
    if (!session.ok(error)) return false;
    const int count = Pa_GetDeviceCount();
    if (count <= 0) {
        error = std::string("there is no audio device (") + kNoDeviceReason + ")";
        return false;
    }
    const PaDeviceIndex defaultOut = Pa_GetDefaultOutputDevice(), defaultIn = Pa_GetDefaultInputDevice();
    text.clear();
    for (PaDeviceIndex i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info) continue;
        char line[512];
        std::snprintf(line, sizeof line, "%3d  %-44s in %2d  out %2d  %6.0f Hz%s%s\n", i, describe(i).c_str(),
                      info->maxInputChannels, info->maxOutputChannels, info->defaultSampleRate,
                      i == defaultOut ? "  default output" : "", i == defaultIn ? "  default input" : "");
        text += line;
    }
    return true;
}

}  // namespace orvhost
