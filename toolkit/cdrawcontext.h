#pragma once
// A drawing context over the system's drawing context (cairo on Linux, GDI+ on Windows):
// colours, line settings, a font, and primitives for lines, rectangles and text. Coordinates
// are those of the view being drawn.
#include <vector>

#include "toolkit/fonts.h"
#include "toolkit/geometry.h"
#include "toolkit/native.h"

namespace toolkit {

enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };
enum CDrawMode { kAliasing = 0, kAntialias };
enum CLineStyle { kLineSolid = 0, kLineOnOffDash };

class CDrawContext {
public:
    // Draws through `cr`, which stays owned by the caller. `scale` is the number of device
    // pixels per unit of the views' coordinates (1 at 100 %, 2 at 200 %): everything drawn
    // through the context is drawn at that size.
    explicit CDrawContext(CNativeContext* cr, double scale = 1.0);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    CNativeContext* getCairo() const { return cr; }
    double getScale() const { return scale; }

    void setFrameColor(const CColor& c) { frameColor = c; }
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(const CColor& c) { fillColor = c; }
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor& c) { fontColor = c; }
    CColor getFontColor() const { return fontColor; }
    void setLineWidth(CCoord w) { lineWidth = w; }
    CCoord getLineWidth() const { return lineWidth; }
    void setDrawMode(CDrawMode m) { drawMode = m; }
    CDrawMode getDrawMode() const { return drawMode; }
    void setLineStyle(CLineStyle s) { lineStyle = s; }
    CLineStyle getLineStyle() const { return lineStyle; }
    // Sets the font; a size of 0 or a style of -1 keeps the font's own.
    void setFont(CFontRef font, CCoord size = 0, int style = -1);
    const CFontDesc& getFont() const { return font; }

    void moveTo(const CPoint& p) { penPosition = p; }
    void lineTo(const CPoint& p);
    void drawLine(const CPoint& from, const CPoint& to);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect) { drawRect(rect, kDrawFilled); }
    // Writes `text` on one line inside `rect`, vertically centred and clipped to the rectangle.
    void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText, bool antialias = true);
    CCoord getStringWidth(const char* text);

    // Clipping and translation, bracketed by saveState/restoreState.
    void saveState();
    void restoreState();
    void clipRect(const CRect& rect);
    void translate(CCoord dx, CCoord dy);

private:
    double scale = 1.0;
    void applyColor(const CColor& c);
    void applyLine();
    void applyFont();

    CNativeContext* cr;
#ifdef _WIN32
    std::vector<unsigned> savedStates;
#endif
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kBlackCColor;
    CCoord lineWidth = 1;
    CDrawMode drawMode = kAliasing;
    CLineStyle lineStyle = kLineSolid;
    CFontDesc font;
    CPoint penPosition;
};

}  // namespace toolkit
