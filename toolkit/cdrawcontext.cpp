#include "toolkit/cdrawcontext.h"

#include <cmath>
#include <string>

namespace toolkit {
namespace {

// Text is 8-bit; cairo wants UTF-8. Valid UTF-8 passes unchanged, anything else is read as
// Latin-1 so that a stray byte never puts the cairo context into an error state.
std::string toUtf8(const char* text) {
    std::string s(text);
    size_t i = 0;
    bool valid = true;
    while (i < s.size() && valid) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) valid = false;
        for (size_t k = 1; valid && k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) valid = false;
        i += n;
    }
    if (valid) return s;
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

CDrawContext::CDrawContext(CNativeContext* cr, double scale) : cr(cr), font(*kNormalFont) {
    cairo_save(cr);
    if (scale > 0.0 && scale != 1.0) {
        this->scale = scale;
        cairo_scale(cr, scale, scale);
    }
}

CDrawContext::~CDrawContext() { cairo_restore(cr); }

void CDrawContext::setFont(CFontRef f, CCoord size, int style) {
    if (f) font = *f;
    if (size > 0) font.size = size;
    if (style >= 0) font.style = style;
}

void CDrawContext::applyColor(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::applyLine() {
    cairo_set_line_width(cr, lineWidth);
    cairo_set_antialias(cr, drawMode == kAntialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (lineStyle == kLineOnOffDash) {
        const double dash[] = {lineWidth * 2, lineWidth * 2};
        cairo_set_dash(cr, dash, 2, 0);
    } else {
        cairo_set_dash(cr, nullptr, 0, 0);
    }
}

void CDrawContext::applyFont() {
    cairo_select_font_face(cr, font.name.c_str(),
                           (font.style & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                           (font.style & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.size);
}

void CDrawContext::lineTo(const CPoint& p) {
    drawLine(penPosition, p);
    penPosition = p;
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to) {
    cairo_save(cr);
    applyLine();
    applyColor(frameColor);
    // Aliased lines sit on pixel centres so that a 1-pixel line covers exactly one pixel row.
    const double shift = drawMode == kAliasing ? 0.5 : 0.0;
    cairo_move_to(cr, from.x + shift, from.y + shift);
    cairo_line_to(cr, to.x + shift, to.y + shift);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    cairo_save(cr);
    applyLine();
    if (style != kDrawStroked) {
        applyColor(fillColor);
        cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
        cairo_fill(cr);
    }
    if (style != kDrawFilled) {
        applyColor(frameColor);
        const double half = lineWidth / 2;
        cairo_rectangle(cr, rect.left + half, rect.top + half, rect.getWidth() - lineWidth,
                        rect.getHeight() - lineWidth);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
}

CCoord CDrawContext::getStringWidth(const char* text) {
    if (!text) return 0;
    cairo_save(cr);
    applyFont();
    cairo_text_extents_t ext;
    cairo_text_extents(cr, toUtf8(text).c_str(), &ext);
    cairo_restore(cr);
    return ext.x_advance;
}

void CDrawContext::drawString(const char* text, const CRect& rect, CHoriTxtAlign align, bool antialias) {
    if (!text || !*text || rect.isEmpty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(cr);
    applyFont();
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    cairo_font_extents_t fext;
    cairo_font_extents(cr, &fext);
    const std::string utf8 = toUtf8(text);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, utf8.c_str(), &ext);
    double x = rect.left;
    if (align == kCenterText)
        x = rect.left + (rect.getWidth() - ext.x_advance) / 2;
    else if (align == kRightText)
        x = rect.right - ext.x_advance;
    const double baseline = rect.top + (rect.getHeight() + fext.ascent - fext.descent) / 2;
    applyColor(fontColor);
    cairo_move_to(cr, std::round(x), std::round(baseline));
    cairo_show_text(cr, utf8.c_str());
    cairo_restore(cr);
}

void CDrawContext::saveState() { cairo_save(cr); }

void CDrawContext::restoreState() { cairo_restore(cr); }

void CDrawContext::translate(CCoord dx, CCoord dy) { cairo_translate(cr, dx, dy); }

void CDrawContext::clipRect(const CRect& rect) {
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(cr);
}

}  // namespace toolkit
