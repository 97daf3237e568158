// orv-artgen: draws the editor bitmaps of one plug-in.
//
//   orv-artgen <borealis|kestrel> <png folder> <embedded .cpp> <preview .png>
//
// Writes every bitmap as <png folder>/<resource number>.png, a C++ source that embeds them
// for the plug-in's resource lookup, and a preview sheet. A label that would lie under a
// control, off its page or out of its panel, text smaller than the section titles, a legend
// that does not fit its button, a display text that fills its box, controls whose caps
// overlap, and a shared knob strip over differing art are faults: reported, and the run fails.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "art_set.h"
#include "output.h"

int main(int argc, char** argv) {
    using namespace orv::artgen;
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <borealis|kestrel> <png folder> <source.cpp> <preview.png>\n",
                     argv[0]);
        return 2;
    }
    const std::string which = argv[1];
    if (which != "borealis" && which != "kestrel") {
        std::fprintf(stderr, "orv-artgen: unknown plug-in '%s'\n", which.c_str());
        return 2;
    }
    ArtSet set = which == "borealis" ? drawBorealis() : drawKestrel();
    set.faults.insert(set.faults.end(), drawingFaults().begin(), drawingFaults().end());
    for (const std::string& f : set.faults) std::fprintf(stderr, "orv-artgen: %s: %s\n",
                                                         which.c_str(), f.c_str());
    if (!set.faults.empty()) return 1;

    mkdir(argv[2], 0777);  // may exist already; a real failure shows when writing
    if (!writePngs(set, argv[2]) || !writeEmbeddedSource(set, argv[3]) ||
        !writePreview(set, argv[4])) {
        std::fprintf(stderr, "orv-artgen: cannot write the %s art\n", which.c_str());
        return 1;
    }
    return 0;
}
