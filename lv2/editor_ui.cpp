// The editor as an LV2 X11 UI.
#include "lv2/editor_ui.h"
#include "lv2/features.h"

#include <lv2/instance-access/instance-access.h>

#include <X11/Xlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

namespace orv::lv2 {

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class EditorUi : public EditorLink {
public:
    EditorUi(PluginInstance& instance, LV2UI_Write_Function write, LV2UI_Controller controller)
        : instance(instance), fx(instance.effect()), write(write), controller(controller) {}

    ~EditorUi() override {
        instance.detachEditor(this);
        if (editorOpen) fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
        if (display) {
            if (window) XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }

    bool open(unsigned long parent, const LV2UI_Resize* hostResize, const LV2UI_Touch* hostTouch) {
        resize = hostResize;
        touch = hostTouch;
        int w = 0, h = 0;
        if (!editorSize(w, h)) return false;
        display = XOpenDisplay(nullptr);
        if (!display) return false;
        window = XCreateSimpleWindow(display, parent, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 0, 0);
        XMapWindow(display, window);
        // The editor builds its own window inside this one over its own connection: this one
        // must exist on the server first.
        XSync(display, False);
        width = w;
        height = h;
        for (int i = 0; i < instance.description().numPorts; ++i)
            known[i] = unitValue(port(i), fx->getParameter(fx, port(i).index));
        instance.attachEditor(this);
        if (fx->dispatcher(fx, effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)), 0.0f) == 0)
            return false;
        editorOpen = true;
        // The editor settles its scale when it opens; its rectangle may have changed.
        if (editorSize(w, h)) sizeWindow(w, h);
        else if (resize) resize->ui_resize(resize->handle, width, height);
        return true;
    }

    LV2UI_Widget widget() const { return reinterpret_cast<LV2UI_Widget>(static_cast<std::uintptr_t>(window)); }

    void portEvent(std::uint32_t portIndex, std::uint32_t size, std::uint32_t format, const void* buffer) {
        const std::uint32_t i = portIndex - kFirstParameterPort;
        if (format != 0 || size != sizeof(float) || !buffer || portIndex < kFirstParameterPort ||
            i >= static_cast<std::uint32_t>(instance.description().numPorts))
            return;
        // The processing applies the port's value at its next block; the editor follows the
        // plug-in. Here the UI only learns what the host holds.
        std::memcpy(&known[i], buffer, sizeof(float));
    }

    int idle() {
        if (!editorOpen) return 1;
        fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
        reportPluginChanges();
        // Nothing is drawn in this window itself; its events are only taken off the queue.
        while (XPending(display) > 0) {
            XEvent e;
            XNextEvent(display, &e);
        }
        return 0;
    }

    // A parameter changed by the editor, which told the plug-in first (audioMasterAutomate).
    void parameterEdited(VstInt32 index, float normalised) override {
        const int p = instance.portOfParameter(index) - static_cast<int>(kFirstParameterPort);
        if (p >= 0) report(p, unitValue(port(p), normalised));
    }

    void editGesture(VstInt32 index, bool begins) override {
        const int p = instance.portOfParameter(index);
        if (p >= 0 && touch) touch->touch(touch->handle, static_cast<std::uint32_t>(p), begins);
    }

    bool sizeWindow(int w, int h) override {
        if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || !display) return false;
        width = w;
        height = h;
        XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XSync(display, False);
        if (resize) resize->ui_resize(resize->handle, w, h);
        return true;
    }

private:
    const ParameterPort& port(int i) const { return instance.description().ports[i]; }

    bool editorSize(int& w, int& h) {
        ERect* r = nullptr;
        if (fx->dispatcher(fx, effEditGetRect, 0, 0, &r, 0.0f) == 0 || !r) return false;
        w = r->right - r->left;
        h = r->bottom - r->top;
        return w > 0 && h > 0;
    }

    void report(int i, float unit) {
        if (sameBits(unit, known[i])) return;
        known[i] = unit;
        write(controller, kFirstParameterPort + static_cast<std::uint32_t>(i), sizeof(float), 0, &unit);
    }

    // Values the plug-in holds that did not come from its ports (a preset chosen in the
    // editor's preset bar, a bank or preset file, a restored state) become port changes.
    void reportPluginChanges() {
        for (int i = 0; i < instance.description().numPorts; ++i) {
            const float x = fx->getParameter(fx, port(i).index);
            if (sameBits(x, instance.valueFromPort(i)))
                continue;
            report(i, unitValue(port(i), x));
        }
    }

    PluginInstance& instance;
    AEffect* fx;
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    Display* display = nullptr;
    Window window = 0;
    int width = 0, height = 0;
    bool editorOpen = false;
    float known[kMaxParameterPorts] = {};
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    auto* instance = static_cast<PluginInstance*>(const_cast<void*>(feature(features, LV2_INSTANCE_ACCESS_URI)));
    const void* parent = feature(features, LV2_UI__parent);
    if (!instance || !parent || !write || !widget || !pluginUri ||
        std::strcmp(pluginUri, instance->description().uri) != 0)
        return nullptr;
    try {
        auto* ui = new EditorUi(*instance, write, controller);
        if (!ui->open(static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)),
                      static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)),
                      static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)))) {
            delete ui;
            return nullptr;
        }
        *widget = ui->widget();
        return ui;
    } catch (...) {
        return nullptr;  // nothing may cross into the host
    }
}

void cleanup(LV2UI_Handle handle) { delete static_cast<EditorUi*>(handle); }

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) {
    static_cast<EditorUi*>(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    try {
        return static_cast<EditorUi*>(handle)->idle();
    } catch (...) {
        return 1;
    }
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
    return nullptr;
}

}  // namespace

const LV2UI_Descriptor& editorUiDescriptor() {
    static const LV2UI_Descriptor descriptor = {thisPlugin().uiUri, instantiate, cleanup, portEvent, extensionData};
    return descriptor;
}

}  // namespace orv::lv2
