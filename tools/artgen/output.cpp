#include "output.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>

#include "meter.h"
#include "platform/resources.h"
#include "platform/strip_rows.h"

namespace orv::artgen {

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<unsigned char>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

// One byte of a string literal. Octal escapes always take three digits so that a following
// digit can never be read as part of the escape.
void appendLiteralByte(std::string& line, unsigned char c) {
    if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"' && c != '?') {
        line += static_cast<char>(c);
    } else {
        char esc[5];
        std::snprintf(esc, sizeof esc, "\\%03o", c);
        line += esc;
    }
}

std::uint32_t pngCrc(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xffffffffu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendBigEndian(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

// The pixel rows where each frame of a strip drawn at `percent` starts, as the strip drew
// them (see strip()), ending with the image's height; empty for a single image.
std::vector<int> frameTops(const Bitmap& b, int percent) {
    const int height = cairo_image_surface_get_height(b.image.get());
    const double scale = percent / 100.0;
    const int logicalHeight = static_cast<int>(std::lround(height / scale));
    if (b.frames < 2 || logicalHeight % b.frames != 0) return {};
    std::vector<int> tops;
    for (int k = 0; k <= b.frames; ++k)
        tops.push_back(static_cast<int>(std::lround(k * (logicalHeight / b.frames) * scale)));
    if (tops.back() != height) return {};
    return tops;
}

// A strip's PNG with its rows stored frame by frame interleaved and the frame tops in a chunk
// of their own right after the header (see platform/strip_rows.h).
std::vector<unsigned char> encodeStripPng(cairo_surface_t* surface, const std::vector<int>& tops) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    Surface stored(cairo_image_surface_create(cairo_image_surface_get_format(surface), width, height));
    const int from = cairo_image_surface_get_stride(surface), to = cairo_image_surface_get_stride(stored.get());
    const std::vector<int> order = orv::platform::storedRowOrder(tops);
    const unsigned char* source = cairo_image_surface_get_data(surface);
    unsigned char* target = cairo_image_surface_get_data(stored.get());
    for (int i = 0; i < height; ++i) std::memcpy(target + i * to, source + order[i] * from, std::min(from, to));
    cairo_surface_mark_dirty(stored.get());
    std::vector<unsigned char> png = encodePng(stored.get());
    std::vector<unsigned char> chunk;
    appendBigEndian(chunk, static_cast<std::uint32_t>(tops.size() * 4));
    chunk.insert(chunk.end(), orv::platform::kFrameTopsChunk, orv::platform::kFrameTopsChunk + 4);
    for (int top : tops) appendBigEndian(chunk, static_cast<std::uint32_t>(top));
    appendBigEndian(chunk, pngCrc(chunk.data() + 4, chunk.size() - 4));
    // Signature (8 bytes) and header chunk (25 bytes) come first.
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

int frameHeight(const Bitmap& b) {
    return cairo_image_surface_get_height(b.image.get()) / std::max(1, b.frames);
}

void drawPlacements(cairo_t* cr, const ArtSet& set, const std::vector<Placement>& view,
                    double ox, double oy) {
    for (const Placement& p : view) {
        const Bitmap* b = set.find(p.id);
        if (!b) continue;
        const int w = cairo_image_surface_get_width(b->image.get());
        const int h = frameHeight(*b);
        cairo_save(cr);
        cairo_rectangle(cr, ox + p.x, oy + p.y, w, h);
        cairo_clip(cr);
        cairo_set_source_surface(cr, b->image.get(), ox + p.x, oy + p.y - p.frame * h);
        cairo_paint(cr);
        cairo_restore(cr);
        // The meter control draws its needles between the lamp and the cover.
        if (p.id == 19030 || p.id == 19033) {
            const double px = ox + p.x - MeterGeometry::lampX + MeterGeometry::pivotX;
            const double py = oy + p.y - MeterGeometry::lampY + MeterGeometry::pivotY;
            const double vu = p.id == 19030 ? 0.71 : 0.89, ppm = p.id == 19030 ? 1.02 : 1.12;
            const struct { double level, r0, r1, red, green, blue; } needles[] = {
                {ppm, 55, 70, 240, 40, 40}, {vu, 3, 70, 100, 100, 105}};
            for (const auto& n : needles) {
                const double a = needleAngle(n.level);
                cairo_set_source_rgb(cr, n.red / 255, n.green / 255, n.blue / 255);
                cairo_set_line_width(cr, 1);
                for (auto [d, e] : {std::pair{1.0, 0.0}, {0.0, 0.0}, {1.0, 1.0}, {0.0, 1.0},
                                    {0.5, 0.5}}) {
                    cairo_move_to(cr, px + d + n.r0 * std::cos(a), py + e - n.r0 * std::sin(a));
                    cairo_line_to(cr, px + d + n.r1 * std::cos(a), py + e - n.r1 * std::sin(a));
                    cairo_stroke(cr);
                }
            }
        }
    }
}

}  // namespace

std::vector<unsigned char> encodePng(cairo_surface_t* surface) {
    std::vector<unsigned char> bytes;
    cairo_surface_write_to_png_stream(surface, appendBytes, &bytes);
    return bytes;
}

std::vector<unsigned char> encodeBitmap(const Bitmap& b, int percent) {
    const std::vector<int> tops = frameTops(b, percent);
    return tops.empty() ? encodePng(b.image.get()) : encodeStripPng(b.image.get(), tops);
}

void addResources(const ArtSet& set, int percent, Resources& resources) {
    for (const Bitmap& b : set.bitmaps)
        resources.emplace_back(orv::platform::scaledResourceNumber(b.id, percent), encodeBitmap(b, percent));
}

bool writePngs(const Resources& resources, const std::string& folder) {
    for (const auto& [id, png] : resources)
        if (!writeFile(folder + "/" + std::to_string(id) + ".png", png)) return false;
    return true;
}

bool writeEmbeddedSource(const std::string& name, const Resources& resources, const std::string& path) {
    std::string out;
    out += "// Generated by orv-artgen: the " + name +
           " editor bitmaps of every scale as PNG data, by resource number.\n"
           "#include \"platform/resources.h\"\n"
           "#include \"tools/artgen/drawn_art.h\"\n\n"
           "namespace {\n\n";
    std::vector<int> ids;
    for (const auto& r : resources) ids.push_back(r.first);
    std::sort(ids.begin(), ids.end());
    for (const auto& [id, png] : resources) {
        out += "const char k" + std::to_string(id) + "[] =\n";
        std::string line = "    \"";
        for (size_t i = 0; i < png.size(); ++i) {
            appendLiteralByte(line, png[i]);
            if (line.size() > 96 || i + 1 == png.size()) {
                out += line + "\"\n";
                line = "    \"";
            }
        }
        out += "    ;\n\n";
    }
    out += "struct Entry {\n    int id;\n    const char* data;\n    std::size_t size;\n};\n\n"
           "const Entry kEntries[] = {\n";
    for (int id : ids) {
        const std::string name = "k" + std::to_string(id);
        out += "    {" + std::to_string(id) + ", " + name + ", sizeof " + name + " - 1},\n";
    }
    out += "};\n\n}  // namespace\n\n"
           "bool orv::platform::findResource(int id, const unsigned char*& data, "
           "std::size_t& size) {\n"
           "    for (const Entry& e : kEntries) {\n"
           "        if (e.id == id) {\n"
           "            data = reinterpret_cast<const unsigned char*>(e.data);\n"
           "            size = e.size;\n"
           "            return true;\n"
           "        }\n"
           "    }\n"
           "    return false;\n"
           "}\n\n"
           "// The scales not embedded are drawn when first asked for.\n"
           "bool orv::platform::findDrawnImage(int id, orv::platform::DrawnImage& image) {\n"
           "    return orv::artgen::drawnImage(\"" + name + "\", id, image);\n"
           "}\n";
    return writeFile(path, std::vector<unsigned char>(out.begin(), out.end()));
}

bool writePreview(const ArtSet& set, const std::string& path) {
    const double margin = 24, gap = 30, cellGap = 18;
    const double width = margin * 2 + set.windowWidth * 2 + gap;
    // Lay out the strips first to know the sheet's height.
    struct Cell { const Bitmap* b; double x, y; int shown; std::string title; };
    std::vector<Cell> cells;
    Surface scratch = newImage(1, 1);
    Context measure = newContext(scratch.get());
    const Font small{"Liberation Sans", 9, false};
    double x = margin, y = margin + 18 + set.windowHeight + 50, rowHeight = 0;
    for (const Bitmap& b : set.bitmaps) {
        if (b.id == 19000 || b.id == 19001 || b.id == 19035) continue;
        const int w = cairo_image_surface_get_width(b.image.get());
        const int shown = std::min(b.frames, 9);
        char title[64];
        std::snprintf(title, sizeof title, "%d  %dx%d  x%d", b.id, w,
                      cairo_image_surface_get_height(b.image.get()), b.frames);
        const double textW =
            std::max(textBox(measure.get(), small, title, 0, 0, Align::Left).width(),
                     textBox(measure.get(), small, b.use, 0, 0, Align::Left).width());
        const double cellW = std::max<double>(w * shown + 2 * (shown - 1), textW);
        if (x + cellW > width - margin) {
            x = margin;
            y += rowHeight + cellGap + 26;
            rowHeight = 0;
        }
        cells.push_back({&b, x, y, shown, title});
        x += cellW + cellGap;
        rowHeight = std::max<double>(rowHeight, frameHeight(b));
    }
    const double height = y + rowHeight + margin;

    Surface sheet = newImage(static_cast<int>(width), static_cast<int>(height));
    Context ctx = newContext(sheet.get());
    cairo_t* cr = ctx.get();
    cairo_set_source_rgb(cr, 0.55, 0.56, 0.58);
    cairo_paint(cr);
    const Font caption{"Liberation Sans", 10, true};
    const Colour ink = rgb(20, 20, 22);
    drawText(cr, caption, ink, "Main page", margin, margin + 6, Align::Left);
    drawText(cr, caption, ink, "Meter-settings page", margin + set.windowWidth + gap, margin + 6,
             Align::Left);
    drawPlacements(cr, set, set.mainView, margin, margin + 18);
    drawPlacements(cr, set, set.settingsView, margin + set.windowWidth + gap, margin + 18);

    for (const Cell& c : cells) {
        const Bitmap& b = *c.b;
        const int w = cairo_image_surface_get_width(b.image.get());
        const int h = frameHeight(b);
        drawText(cr, Font{"Liberation Sans", 9, true}, ink, c.title, c.x, c.y - 19, Align::Left);
        drawText(cr, small, ink, b.use, c.x, c.y - 7, Align::Left);
        for (int i = 0; i < c.shown; ++i) {
            const int frame = c.shown > 1 ? i * (b.frames - 1) / (c.shown - 1) : 0;
            const double fx = c.x + i * (w + 2);
            cairo_save(cr);
            cairo_rectangle(cr, fx, c.y, w, h);
            cairo_clip(cr);
            cairo_set_source_surface(cr, b.image.get(), fx, c.y - frame * h);
            cairo_paint(cr);
            cairo_restore(cr);
        }
    }
    return cairo_surface_write_to_png(sheet.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace orv::artgen
