#include "CharWidth.h"

#include "CharWidthTable.inc"

namespace orvane {

int charWidth(char32_t c)
{
    if (c < 0x300)
        return 1;
    if (c >= 0x110000)
        return 1;
    return kWidthStage2[kWidthStage1[c >> 8]][c & 0xFF];
}

}  // namespace orvane
