// A build without PortAudio (the Windows cross build, which has no PortAudio library): no
// device plays; every request gets the same plain answer.
#include "tools/orv-host/audio_device.h"

namespace orvhost {
namespace {
const char kNoDevices[] = "this orv-host was built without PortAudio: it cannot play through a sound card";
}

struct AudioDevice::Impl {};

AudioDevice::AudioDevice() : impl(nullptr) {}
AudioDevice::~AudioDevice() = default;
bool AudioDevice::supported() { return false; }
bool AudioDevice::choose(const DeviceRequest&, std::string& error) {
    nothingThere = true;
    error = kNoDevices;
    return false;
}
bool AudioDevice::start(RenderFunction, void*, std::string& error) {
    error = kNoDevices;
    return false;
}
bool AudioDevice::running() const { return false; }
void AudioDevice::stop() {}

bool listAudioDevices(std::string&, std::string& error) {
    error = kNoDevices;
    return false;
}

}  // namespace orvhost
