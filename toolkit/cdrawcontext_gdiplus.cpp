// The drawing context on Windows, over a GDI+ Graphics. Pixel centres sit at half coordinates,
// as with cairo, so the same view code lands on the same pixels on both systems.
#include "toolkit/cdrawcontext.h"

#include <windows.h>
#include <gdiplus.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/gdiplus_session.h"

namespace toolkit {
namespace {

Gdiplus::Color toColor(const CColor& c) { return Gdiplus::Color(c.alpha, c.red, c.green, c.blue); }

int toStyle(const CFontDesc& font) {
    int style = Gdiplus::FontStyleRegular;
    if (font.style & kBoldFace) style |= Gdiplus::FontStyleBold;
    if (font.style & kItalicFace) style |= Gdiplus::FontStyleItalic;
    return style;
}

bool available(const std::wstring& name) {
    Gdiplus::FontFamily family(name.c_str());
    return family.GetLastStatus() == Gdiplus::Ok && family.IsAvailable();
}

// The family a font name is drawn with: the name itself when installed, otherwise a
// metric-compatible or common sans-serif family (Wine has Liberation Sans but no Arial), and
// as a last resort the first installed family. Empty when there is no font at all. Names, not
// GDI+ objects, are remembered, so the answer stays valid when GDI+ is restarted.
std::wstring resolveFamily(const std::string& requested) {
    static std::map<std::string, std::wstring> resolved;
    auto known = resolved.find(requested);
    if (known != resolved.end()) return known->second;
    std::wstring found;
    const std::wstring candidates[] = {widenText(requested.c_str()), L"Liberation Sans", L"Arial", L"Microsoft Sans Serif",
                                       L"Tahoma", L"DejaVu Sans"};
    for (const std::wstring& name : candidates) {
        if (!name.empty() && available(name)) {
            found = name;
            break;
        }
    }
    if (found.empty()) {
        Gdiplus::InstalledFontCollection installed;
        const INT count = installed.GetFamilyCount();
        if (count > 0) {
            std::vector<Gdiplus::FontFamily> families(static_cast<size_t>(count));
            INT got = 0;
            WCHAR name[LF_FACESIZE] = {};
            if (installed.GetFamilies(count, families.data(), &got) == Gdiplus::Ok && got > 0 &&
                families[0].GetFamilyName(name) == Gdiplus::Ok)
                found = name;
        }
    }
    resolved[requested] = found;
    return found;
}

// The font's family, or null when no font can be drawn.
std::unique_ptr<Gdiplus::FontFamily> familyOf(const CFontDesc& font) {
    const std::wstring name = resolveFamily(font.name);
    if (name.empty()) return nullptr;
    auto family = std::make_unique<Gdiplus::FontFamily>(name.c_str());
    if (family->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return family;
}

// Layout that measures and places text by its advance, as the Linux drawing does.
void makeTypographic(Gdiplus::StringFormat& format) {
    format.SetFormatFlags(format.GetFormatFlags() | Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                          Gdiplus::StringFormatFlagsNoWrap);
}

}  // namespace

CDrawContext::CDrawContext(CNativeContext* cr, double scale) : cr(cr), font(*kNormalFont) {
    savedStates.push_back(cr->Save());
    cr->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    cr->SetPageUnit(Gdiplus::UnitPixel);
    if (scale > 0.0 && scale != 1.0) {
        this->scale = scale;
        cr->ScaleTransform(static_cast<Gdiplus::REAL>(scale), static_cast<Gdiplus::REAL>(scale));
    }
}

CDrawContext::~CDrawContext() {
    while (!savedStates.empty()) {
        cr->Restore(savedStates.back());
        savedStates.pop_back();
    }
}

void CDrawContext::saveState() { savedStates.push_back(cr->Save()); }

void CDrawContext::restoreState() {
    // The state saved by the constructor is restored by the destructor only.
    if (savedStates.size() <= 1) return;
    cr->Restore(savedStates.back());
    savedStates.pop_back();
}

void CDrawContext::translate(CCoord dx, CCoord dy) {
    cr->TranslateTransform(static_cast<Gdiplus::REAL>(dx), static_cast<Gdiplus::REAL>(dy));
}

void CDrawContext::clipRect(const CRect& rect) {
    cr->IntersectClip(Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                                     static_cast<Gdiplus::REAL>(rect.getWidth()),
                                     static_cast<Gdiplus::REAL>(rect.getHeight())));
}

void CDrawContext::setFont(CFontRef f, CCoord size, int style) {
    if (f) font = *f;
    if (size > 0) font.size = size;
    if (style >= 0) font.style = style;
}

// Colours, lines and fonts are applied per primitive through GDI+ objects made on the spot.
void CDrawContext::applyColor(const CColor&) {}
void CDrawContext::applyLine() {
    cr->SetSmoothingMode(drawMode == kAntialias ? Gdiplus::SmoothingModeAntiAlias : Gdiplus::SmoothingModeNone);
}
void CDrawContext::applyFont() {}

void CDrawContext::lineTo(const CPoint& p) {
    drawLine(penPosition, p);
    penPosition = p;
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
    applyLine();
    Gdiplus::Pen pen(toColor(frameColor), static_cast<Gdiplus::REAL>(lineWidth));
    if (lineStyle == kLineOnOffDash) {
        // Dash lengths are in multiples of the line width.
        const Gdiplus::REAL dash[] = {2.0f, 2.0f};
        pen.SetDashPattern(dash, 2);
    }
    // Aliased lines sit on pixel centres so that a 1-pixel line covers exactly one pixel row.
    const double shift = drawMode == kAliasing ? 0.5 : 0.0;
    cr->DrawLine(&pen, static_cast<Gdiplus::REAL>(from.x + shift), static_cast<Gdiplus::REAL>(from.y + shift),
                 static_cast<Gdiplus::REAL>(to.x + shift), static_cast<Gdiplus::REAL>(to.y + shift));
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    applyLine();
    if (style != kDrawStroked) {
        Gdiplus::SolidBrush brush(toColor(fillColor));
        cr->FillRectangle(&brush, Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left),
                                                 static_cast<Gdiplus::REAL>(rect.top),
                                                 static_cast<Gdiplus::REAL>(rect.getWidth()),
                                                 static_cast<Gdiplus::REAL>(rect.getHeight())));
    }
    if (style != kDrawFilled) {
        Gdiplus::Pen pen(toColor(frameColor), static_cast<Gdiplus::REAL>(lineWidth));
        const double half = lineWidth / 2;
        cr->DrawRectangle(&pen, Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left + half),
                                               static_cast<Gdiplus::REAL>(rect.top + half),
                                               static_cast<Gdiplus::REAL>(rect.getWidth() - lineWidth),
                                               static_cast<Gdiplus::REAL>(rect.getHeight() - lineWidth)));
    }
}

CCoord CDrawContext::getStringWidth(const char* text) {
    if (!text || !*text) return 0;
    const std::wstring wide = widenText(text);
    auto family = familyOf(font);
    if (!family) return 0;
    Gdiplus::Font gfont(family.get(), static_cast<Gdiplus::REAL>(font.size), toStyle(font), Gdiplus::UnitPixel);
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    makeTypographic(format);
    Gdiplus::RectF box;
    cr->MeasureString(wide.c_str(), static_cast<INT>(wide.size()), &gfont, Gdiplus::PointF(0, 0), &format, &box);
    return box.Width;
}

void CDrawContext::drawString(const char* text, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (!text || !*text || rect.isEmpty()) return;
    const std::wstring wide = widenText(text);
    auto family = familyOf(font);
    if (!family) return;
    const int style = toStyle(font);
    Gdiplus::Font gfont(family.get(), static_cast<Gdiplus::REAL>(font.size), style, Gdiplus::UnitPixel);
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    makeTypographic(format);
    Gdiplus::RectF box;
    cr->MeasureString(wide.c_str(), static_cast<INT>(wide.size()), &gfont, Gdiplus::PointF(0, 0), &format, &box);
    const double em = family->GetEmHeight(style);
    const double ascent = em > 0 ? font.size * family->GetCellAscent(style) / em : font.size * 0.8;
    const double descent = em > 0 ? font.size * family->GetCellDescent(style) / em : font.size * 0.2;
    double x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.getWidth() - box.Width) / 2;
    else if (align == kRightText)
        x = rect.right - box.Width;
    const double baseline = rect.top + (rect.getHeight() + ascent - descent) / 2;

    const Gdiplus::GraphicsState state = cr->Save();
    clipRect(rect);
    cr->SetTextRenderingHint(antialias ? Gdiplus::TextRenderingHintAntiAliasGridFit
                                       : Gdiplus::TextRenderingHintSingleBitPerPixelGridFit);
    Gdiplus::SolidBrush brush(toColor(fontColor));
    // Text is placed by the top of its line; the baseline lies one ascent below it.
    cr->DrawString(wide.c_str(), static_cast<INT>(wide.size()), &gfont,
                   Gdiplus::PointF(static_cast<Gdiplus::REAL>(std::round(x)),
                                   static_cast<Gdiplus::REAL>(std::round(baseline) - ascent)),
                   &format, &brush);
    cr->Restore(state);
}

}  // namespace toolkit
