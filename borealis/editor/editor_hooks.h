#pragma once
// What an engine asks of its editor besides parameter changes. The engines find the interface
// through their editor pointer, so an engine built without an editor needs nothing else.
// vendorSpecific(kEditorScaleRequest, percent, 0, 0) sets the scale this instance's editor
// opens at next (one of 100, 125, 150, 175, 200; anything else only asks) and answers the scale
// in per cent, or 0 without an editor. It is not stored for the user.
constexpr int kEditorScaleRequest = ('O' << 24) | ('r' << 16) | ('S' << 8) | 'c';

class OrvEditorHooks {
public:
    virtual ~OrvEditorHooks() = default;
    // The effect was suspended: both meters back to rest.
    virtual void resetMeters() = 0;
    // The effect was resumed (perhaps at a new rate): show the latency again.
    virtual void refreshLatency() = 0;
    // See kEditorScaleRequest.
    virtual int requestEditorScale(long long percent) = 0;
};
