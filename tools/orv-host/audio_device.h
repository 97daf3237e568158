#pragma once
// The sound card, through PortAudio: the devices of every audio system PortAudio reaches
// (ALSA, JACK and PulseAudio/PipeWire through ALSA on Linux; WASAPI and MME on Windows), and
// one duplex or output-only stream whose callback the caller fills. A build without PortAudio
// has no devices and says so in every answer.
#include <atomic>
#include <string>

namespace orvhost {

// Exit status of a run that could not use the audio device it asked for (none there, no
// such name, busy, a sample rate it does not take).
constexpr int kDeviceFailureStatus = 3;

// Fills `frames` frames of `output` (interleaved, `outputChannels` wide) on the audio thread;
// `input` holds the device's frames (`inputChannels` wide) or is null for an output-only stream.
// Must not allocate, lock or touch files.
using RenderFunction = void (*)(void* context, const float* input, int inputChannels, float* output,
                                int outputChannels, int frames);

struct DeviceRequest {
    std::string name;       // --device: a name or part of one, or a number from --list-devices; empty: the default
    double rate = 0.0;      // 0: the device's own rate
    int bufferFrames = 512;
    bool input = false;     // a duplex stream: the device's input as well
};

class AudioDevice {
public:
    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // True when this build plays through devices at all.
    static bool supported();

    // Finds the device and checks that it takes the rate (before the plug-in is prepared:
    // rate() is then the rate to prepare it at). False with a one-line reason.
    bool choose(const DeviceRequest& request, std::string& error);
    double rate() const { return streamRate; }
    // After a failed choose(): there is no output device at all (no sound card, no sound
    // server, or a build without devices), as opposed to one that cannot be used.
    bool foundNone() const { return nothingThere; }
    // The device's name and audio system, e.g. "system (JACK Audio Connection Kit)".
    const std::string& description() const { return deviceDescription; }

    // Opens the stream and starts calling `render`. False with a one-line reason.
    bool start(RenderFunction render, void* context, std::string& error);
    // Seconds from the callback to the speaker and from the microphone to the callback, as the
    // audio system reports them once the stream runs.
    double outputLatency() const { return latencyOut; }
    double inputLatency() const { return latencyIn; }
    // Output underflows the audio system reported to the callback (it was called too late).
    long long deviceUnderruns() const { return underflows.load(std::memory_order_relaxed); }
    // False once a started stream has stopped without being asked (the device went away).
    bool running() const;
    void stop();

    struct Impl;

private:
    Impl* impl;
    double streamRate = 0.0;
    bool nothingThere = false;
    double latencyOut = 0.0, latencyIn = 0.0;
    std::string deviceDescription;
    std::atomic<long long> underflows{0};
};

// The devices, one a line (number, name, audio system, channels, own rate), with the defaults
// marked. False with a reason when there is no audio system at all.
bool listAudioDevices(std::string& text, std::string& error);

}  // namespace orvhost
