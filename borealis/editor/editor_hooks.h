#pragma once
// What an engine asks of its editor besides parameter changes. The engines find the interface
// through their editor pointer, so an engine built without an editor needs nothing else.
class OrvEditorHooks {
public:
    virtual ~OrvEditorHooks() = default;
    // The effect was suspended: both meters back to rest.
    virtual void resetMeters() = 0;
    // The effect was resumed (perhaps at a new rate): show the latency again.
    virtual void refreshLatency() = 0;
};
