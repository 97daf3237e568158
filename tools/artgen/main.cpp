// orv-artgen: draws the editor bitmaps of one plug-in.
//
//   orv-artgen <borealis|kestrel> <png folder> <embedded .cpp> <preview .png>
//
//   orv-artgen <borealis|kestrel> <png folder> <embedded .cpp> <preview .png> --all-scales
//
// Draws every bitmap (with --all-scales at each editor scale, 100 % to 200 %, from the same
// drawing code) and writes each as <png folder>/<resource number>.png, a C++ source that embeds
// them for the plug-in's resource lookup, and a preview sheet of the 100 % art. A label that would lie under a
// control, off its page or out of its panel, text smaller than the section titles, a legend
// that does not fit its button, a display text that fills its box, controls whose caps
// overlap, and a shared knob strip over differing art are faults: reported, and the run fails.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "art_set.h"
#include "output.h"
#include "paint.h"
#include "platform/resources.h"

int main(int argc, char** argv) {
    using namespace orv::artgen;
    const bool allScales = argc == 6 && std::string(argv[5]) == "--all-scales";
    if (argc != 5 && !allScales) {
        std::fprintf(stderr, "usage: %s <borealis|kestrel> <png folder> <source.cpp> <preview.png> [--all-scales]\n",
                     argv[0]);
        return 2;
    }
    const std::string which = argv[1];
    if (which != "borealis" && which != "kestrel") {
        std::fprintf(stderr, "orv-artgen: unknown plug-in '%s'\n", which.c_str());
        return 2;
    }
    // Every scale from the same drawing code, each checked as the 100 % art is.
    Resources resources;
    bool written = true;
    for (const int percent : orv::platform::kEditorScales) {
        if (percent != 100 && !allScales) continue;
        setDrawingScale(percent / 100.0);
        drawingFaults().clear();
        ArtSet set = which == "borealis" ? drawBorealis() : drawKestrel();
        set.faults.insert(set.faults.end(), drawingFaults().begin(), drawingFaults().end());
        for (const std::string& f : set.faults)
            std::fprintf(stderr, "orv-artgen: %s at %d %%: %s\n", which.c_str(), percent, f.c_str());
        if (!set.faults.empty()) return 1;
        addResources(set, percent, resources);
        if (percent == 100) written = writePreview(set, argv[4]);
    }

    mkdir(argv[2], 0777);  // may exist already; a real failure shows when writing
    if (!written || !writePngs(resources, argv[2]) || !writeEmbeddedSource(which, resources, argv[3])) {
        std::fprintf(stderr, "orv-artgen: cannot write the %s art\n", which.c_str());
        return 1;
    }
    return 0;
}
