#include "theme.h"

namespace orv::artgen {

const Theme& borealisTheme() {
    static const Theme theme{"BOREALIS", "STEREO MASTERING COMPRESSOR", rgb(86, 214, 184),
                             rgb(50, 55, 62),   rgb(31, 34, 39),
                             rgb(222, 226, 231), rgb(140, 148, 158), rgb(72, 79, 88)};
    return theme;
}

const Theme& kestrelTheme() {
    static const Theme theme{"KESTREL", "STEREO COMPRESSOR", rgb(240, 160, 64),
                             rgb(52, 53, 57),   rgb(32, 32, 35),
                             rgb(226, 224, 220), rgb(150, 146, 140), rgb(78, 77, 80)};
    return theme;
}

}  // namespace orv::artgen
