#include "tests/playback/jack_probe.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace playtest {

JackProbe::~JackProbe() {
    if (client) {
        jack_deactivate(client);
        jack_client_close(client);
    }
}

bool JackProbe::open(const std::string& serverName, double seconds) {
    jack_status_t status;
    client = jack_client_open("orv-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                              serverName.c_str());
    if (!client) return false;
    sampleRate = jack_get_sample_rate(client);
    for (int c = 0; c < 2; ++c) {
        captured[c].assign(static_cast<std::size_t>(seconds * sampleRate), 0.0f);
        in[c] = jack_port_register(client, ("in_" + std::to_string(c)).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        out[c] = jack_port_register(client, ("out_" + std::to_string(c)).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (!in[c] || !out[c]) return false;
    }
    jack_set_process_callback(client, &JackProbe::process, this);
    return jack_activate(client) == 0;
}

std::string JackProbe::inputPort(int i) const { return jack_port_name(in[i]); }
std::string JackProbe::outputPort(int i) const { return jack_port_name(out[i]); }

int JackProbe::process(jack_nframes_t n, void* user) {
    JackProbe& p = *static_cast<JackProbe*>(user);
    const double step = p.toneStep.load(), amplitude = p.toneAmplitude.load();
    float* o[2] = {static_cast<float*>(jack_port_get_buffer(p.out[0], n)),
                   static_cast<float*>(jack_port_get_buffer(p.out[1], n))};
    for (jack_nframes_t i = 0; i < n; ++i) {
        const float v = static_cast<float>(amplitude * std::sin(p.phase));
        o[0][i] = o[1][i] = v;
        p.phase = std::fmod(p.phase + step, 2.0 * M_PI);
    }
    if (!p.recording.load()) return 0;
    const long long at = p.frames.load();
    const long long room = static_cast<long long>(p.captured[0].size()) - at;
    const long long take = std::min<long long>(room, n);
    for (int c = 0; c < 2; ++c) {
        const float* src = static_cast<const float*>(jack_port_get_buffer(p.in[c], n));
        for (long long i = 0; i < take; ++i) p.captured[c][static_cast<std::size_t>(at + i)] = src[i];
    }
    if (take > 0) p.frames.store(at + take);
    return 0;
}

void JackProbe::resetRecording() {
    recording.store(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a cycle in progress ends
    frames.store(0);
}

void JackProbe::playTone(double frequency, double amplitude) {
    toneStep.store(2.0 * M_PI * frequency / sampleRate);
    toneAmplitude.store(amplitude);
}

std::vector<std::string> JackProbe::portsOfProcess(long pid, const std::string& prefix, bool outputs,
                                                   double seconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        std::vector<std::string> found;
        const char** names = jack_get_ports(client, ("^" + prefix).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                            outputs ? JackPortIsOutput : JackPortIsInput);
        for (const char** n = names; n && *n; ++n) {
            const std::string port = *n;
            const std::string owner = port.substr(0, port.find(':'));
            // The server may not know its clients' processes (it answers 0 then).
            const int owningPid = jack_get_client_pid(owner.c_str());
            if (owningPid == pid || owningPid == 0) found.push_back(port);
        }
        if (names) jack_free(names);
        if (found.size() >= 2 || std::chrono::steady_clock::now() > until) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool JackProbe::connect(const std::string& from, const std::string& to) const {
    return jack_connect(client, from.c_str(), to.c_str()) == 0;
}

}  // namespace playtest
