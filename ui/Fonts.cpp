#include "ui/Fonts.h"

#include <string>

#include "core/Messages.h"
#include "ui/Dpi.h"
#include "ui/WindowText.h"

namespace sw {
namespace {

constexpr int kWindowFontHeight = -11;

}  // namespace

UniqueGdiObject MakeFont(const wchar_t* face, int height, int weight, BYTE charset, BYTE quality) {
  HFONT font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_DONTCARE, face);
  if (!font) throw msg::Resource(SystemErrorText(GetLastError()));
  return UniqueGdiObject(font);
}

std::wstring FontFace(HFONT font) {
  wchar_t chosen[LF_FACESIZE] = L"";
  if (HDC screen = GetDC(nullptr)) {
    HGDIOBJ previous = SelectObject(screen, font);
    GetTextFaceW(screen, LF_FACESIZE, chosen);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
  }
  return chosen;
}

UniqueGdiObject MakeWindowFont(int dpi) {
  // RUSSIAN_CHARSET makes the font mapper pick a face with Cyrillic glyphs.
  // "MS Sans Serif" has them only where Windows' code page is Cyrillic; its
  // TrueType successor and Arial (or Arial's metric twin) are about as wide.
  // Tahoma, the other dialog face, is not: its Cyrillic runs wider than the
  // labels were designed for.
  static const wchar_t* const kFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans"};
  const int height = ScaleToDpi(kWindowFontHeight, dpi);
  for (const wchar_t* face : kFaces) {
    UniqueGdiObject font = MakeFont(face, height, FW_NORMAL, RUSSIAN_CHARSET);
    if (lstrcmpiW(FontFace(static_cast<HFONT>(font.Get())).c_str(), face) == 0) return font;
  }
  return MakeFont(kFaces[0], height, FW_NORMAL, RUSSIAN_CHARSET);
}

}  // namespace sw
