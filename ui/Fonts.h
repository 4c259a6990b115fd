#pragma once
// The fonts the windows draw with.

#include <windows.h>

#include <string>

#include "platform/Handle.h"

namespace sw {

// A font of the given face and height in pixels (negative: character height).
UniqueGdiObject MakeFont(const wchar_t* face, int height, int weight, BYTE charset, BYTE quality = DEFAULT_QUALITY);

// The windows' font: "MS Sans Serif" at the design height -11, scaled to
// `dpi`, with Cyrillic glyphs. Where that face has none, a face of about its
// width stands in before whatever the system would substitute, so the
// designed layout still fits.
UniqueGdiObject MakeWindowFont(int dpi);

// The face the system chose for `font`.
std::wstring FontFace(HFONT font);

}  // namespace sw
