#pragma once
// The root view of an editor window. A frame either lives in a real window of the system (an X
// window on Linux, a Win32 window on Windows), a child of the host's window, or offscreen with
// no window at all. Both draw into an image surface: dirty views are redrawn there on idle, and
// an embedded frame then copies the changed areas to its window. Events reach the frame through
// the dispatch operations, which the window's event handling calls and which tests and tools
// call directly with synthetic events (coordinates in frame pixels).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ctooltip.h"
#include "toolkit/cviewcontainer.h"
#include "toolkit/editorinterface.h"
#include "toolkit/native.h"

namespace toolkit {

#ifdef _WIN32
class Win32Window;
using CSystemWindow = Win32Window;
#else
class X11Window;
using CSystemWindow = X11Window;
#endif

class CFrame : public CViewContainer {
public:
    // `systemWindow` is the host's window to embed in (an X11 Window id cast to a pointer, or
    // an HWND), or null for an offscreen frame. Only the width and height of `size` matter.
    // `scale` is the number of device pixels per unit of the views' coordinates: the frame's
    // window and surface are `scale` times the size, and everything is drawn at that size.
    CFrame(const CRect& size, void* systemWindow, CEditorInterface* editor, double scale = 1.0);
    ~CFrame() override;

    // True when the frame has its drawing surface and, if embedded, its window.
    bool isOpen() const;
    bool isEmbedded() const { return window != nullptr; }
    // The frame's own window (X11 Window id as a pointer, or HWND); null when offscreen.
    void* getSystemWindow() const;
    CEditorInterface* getEditor() const { return editor; }
    double getScale() const { return scale; }
    // The size of the window and the surface in device pixels.
    int getDeviceWidth() const { return deviceSize(size.getWidth()); }
    int getDeviceHeight() const { return deviceSize(size.getHeight()); }

    // Knob mode of the owning editor; an editor-less frame keeps its own.
    std::int32_t getKnobMode() const;
    void setKnobMode(std::int32_t mode) { knobMode = mode; }
    // Edit gestures of the control with parameter `index`, passed to the editor.
    void beginEdit(std::int32_t index);
    void endEdit(std::int32_t index);

    CPoint getChildOrigin() const override { return CPoint(); }
    void invalid() override;
    // Marks a rectangle in frame coordinates for redrawing at the next idle pass.
    void invalidFrameRect(const CRect& rect);
    // Pumps pending window events (without blocking), redraws what is dirty and shows it.
    void idle();
    CNativeSurface* getSurface() const { return surface; }
    // Redraws the whole frame and writes it as a PNG file; false on failure.
    bool writePng(const char* path);

    // Events from the window system: positions in device pixels of the window.
    CMouseEventResult dispatchMouseDown(const CPoint& where, const CButtonState& buttons);
    CMouseEventResult dispatchMouseUp(const CPoint& where, const CButtonState& buttons);
    CMouseEventResult dispatchMouseMoved(const CPoint& where, const CButtonState& buttons);
    // The mouse left the window: the view under it gets its exited event.
    void dispatchMouseExited();
    bool dispatchWheel(const CPoint& where, float distance, const CButtonState& buttons);
    // Wheel at the last known mouse position (host wheel events carry no position).
    bool dispatchWheel(float distance, const CButtonState& buttons);
    std::int32_t dispatchKeyDown(VstKeyCode& key);
    std::int32_t dispatchKeyUp(VstKeyCode& key);

    // Last mouse position seen by the frame; false when the mouse is outside the window.
    bool getCurrentMouseLocation(CPoint& where) const;
    CButtonState getCurrentMouseButtons() const { return mouseButtons; }
    CView* getMouseOverView() const { return mouseOverView; }

    // The view that receives key events first (a text field being edited).
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }

    // Bookkeeping of removed views: no event goes to them afterwards, and the final release
    // of a removed view waits until no event handler of it can still be running.
    void viewRemoved(CView* view);
    void forgetLater(CView* view);

    // Tooltips: `source` names the text for the view under the mouse (null: no tooltips).
    void setTooltipSource(CTooltipSource* source);
    void setTooltipStyle(const CTooltipStyle& style) { tooltip.setStyle(style); }
    bool isTooltipShown() const { return tooltipShown; }
    const CTooltipBox& getTooltip() const { return tooltip; }
    void hideTooltip();
    // Milliseconds clock of the tooltip delay; tests may replace it.
    using Clock = std::uint32_t (*)();
    void setClock(Clock c) { clock = c; }

    // Draws the views, then a tooltip that is shown above them all.
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    bool isTypeOf(const char* name) const override;

private:
    // Counts nested event handling so that views removed meanwhile are released only afterwards.
    struct EventScope {
        explicit EventScope(CFrame& f) : frame(f) { ++frame.eventDepth; }
        ~EventScope() {
            if (--frame.eventDepth == 0) frame.releasePending();
        }
        CFrame& frame;
    };
    void collectDirty(CViewContainer* container);
    void redrawInvalid();
    void updateMouseOver(const CPoint& where, const CButtonState& buttons);
    void releasePending();
    static std::uint32_t steadyClock();
    // Tooltip bookkeeping on mouse activity and on idle.
    void noteHover(const CButtonState& buttons);
    void updateTooltip();
    // Lays the tooltip out with a drawing context on the frame's surface (back-end specific).
    void placeTooltip(const std::string& text, const CRect& anchor, CCoord pointerX);

    CEditorInterface* editor;
    std::unique_ptr<CSystemWindow> window;
    CNativeSurface* surface = nullptr;
    // A length in device pixels, at least 1.
    int deviceSize(CCoord length) const;
    // A device position in the views' coordinates.
    CPoint fromDevice(const CPoint& p) const { return CPoint(p.x / scale, p.y / scale); }
    // The device pixels a rectangle touches, whole, in the views' coordinates and in pixels.
    CRect wholePixels(const CRect& r) const;
    CRect toDevice(const CRect& r) const;

    double scale = 1.0;
    std::vector<CRect> invalidRects;
    std::vector<CView*> pendingForget;
    CView* mouseOverView = nullptr;
    CView* focusView = nullptr;
    CPoint mouseLocation;
    bool mouseInside = false;
    CButtonState mouseButtons;
    std::int32_t knobMode = kCircularMode;
    int eventDepth = 0;
    bool inIdle = false;
    bool embeddedRequested = false;
    CTooltipSource* tooltipSource = nullptr;
    CTooltipBox tooltip;
    CView* tooltipView = nullptr;  // the view the mouse rests on
    std::uint32_t hoverSince = 0;
    bool tooltipShown = false;
    bool tooltipSuppressed = false;  // after a press, until the mouse rests on another view
    Clock clock = steadyClock;
};

}  // namespace toolkit
