#pragma once
// A JACK client for the playback tests: two input ports that record what reaches them into
// memory taken up front, and two output ports that play a sine tone when asked.
#include <jack/jack.h>

#include <atomic>
#include <string>
#include <vector>

namespace playtest {

class JackProbe {
public:
    ~JackProbe();
    // Opens the client on the server `serverName`, able to record `seconds`.
    bool open(const std::string& serverName, double seconds);
    double rate() const { return sampleRate; }
    std::string inputPort(int i) const;
    std::string outputPort(int i) const;

    // The output (or input) ports of the client that process `pid` opened under a name
    // starting with `prefix`, waiting up to `seconds` for two to appear. Where the server does
    // not tell a client's process, any client of that name counts: one orv-host at a time.
    std::vector<std::string> portsOfProcess(long pid, const std::string& prefix, bool outputs, double seconds) const;
    bool connect(const std::string& from, const std::string& to) const;

    // Recording starts from the next cycle; the frames recorded so far.
    void startRecording() { recording.store(true); }
    long long recorded() const { return frames.load(); }
    // Stops recording and forgets what was recorded.
    void resetRecording();
    const std::vector<float>& recordedChannel(int c) const { return captured[c]; }
    // The outputs play a sine at `frequency` Hz with peak `amplitude` (0 for silence).
    void playTone(double frequency, double amplitude);

private:
    static int process(jack_nframes_t n, void* self);

    jack_client_t* client = nullptr;
    jack_port_t* in[2] = {nullptr, nullptr};
    jack_port_t* out[2] = {nullptr, nullptr};
    double sampleRate = 0.0;
    std::vector<float> captured[2];
    std::atomic<bool> recording{false};
    std::atomic<long long> frames{0};
    std::atomic<double> toneStep{0.0};
    std::atomic<double> toneAmplitude{0.0};
    double phase = 0.0;
};

}  // namespace playtest
