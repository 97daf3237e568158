#pragma once
// Fonts of the toolkit: a family name, a pixel size and a style. The standard fonts are shared
// objects that live as long as the program; "Arial" resolves through fontconfig.
#include <string>

namespace toolkit {

enum CTxtFace : int {
    kNormalFace = 0,
    kBoldFace = 1 << 0,
    kItalicFace = 1 << 1,
};

enum CHoriTxtAlign {
    kLeftText = 0,
    kCenterText,
    kRightText,
};

struct CFontDesc {
    std::string name;
    double size = 12;
    int style = kNormalFace;
};

using CFontRef = const CFontDesc*;

extern const CFontRef kSystemFont;
extern const CFontRef kNormalFontVeryBig;
extern const CFontRef kNormalFontBig;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;
extern const CFontRef kNormalFontVerySmall;
extern const CFontRef kSymbolFont;

}  // namespace toolkit
