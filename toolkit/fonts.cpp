#include "toolkit/fonts.h"

namespace toolkit {
namespace {
const CFontDesc systemFont{"Arial", 12, kBoldFace};
const CFontDesc normalFontVeryBig{"Arial", 18, kNormalFace};
const CFontDesc normalFontBig{"Arial", 14, kNormalFace};
const CFontDesc normalFont{"Arial", 12, kNormalFace};
const CFontDesc normalFontSmall{"Arial", 11, kNormalFace};
const CFontDesc normalFontSmaller{"Arial", 10, kNormalFace};
const CFontDesc normalFontVerySmall{"Arial", 9, kNormalFace};
const CFontDesc symbolFont{"Symbol", 12, kNormalFace};
}  // namespace

const CFontRef kSystemFont = &systemFont;
const CFontRef kNormalFontVeryBig = &normalFontVeryBig;
const CFontRef kNormalFontBig = &normalFontBig;
const CFontRef kNormalFont = &normalFont;
const CFontRef kNormalFontSmall = &normalFontSmall;
const CFontRef kNormalFontSmaller = &normalFontSmaller;
const CFontRef kNormalFontVerySmall = &normalFontVerySmall;
const CFontRef kSymbolFont = &symbolFont;

}  // namespace toolkit
