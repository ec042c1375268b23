// Asks wine which characters of a UTF-8 text file the dialog's font draws as
// the box of a missing glyph, with whatever fonts the prefix links behind it:
// each character is drawn in "MS Shell Dlg" and compared with a code point
// no font has. Prints the face the font resolved to, then each missing
// character as U+XXXX; exits 1 when the text cannot be read.
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/native_win.h"
#include "base/string_util.h"

namespace {

constexpr wchar_t kDialogFont[] = L"MS Shell Dlg";
// An unassigned code point: every font draws it as its missing glyph.
constexpr wchar_t kUnassigned = 0x0378;
constexpr int kCell = 32;

// Draws one character at a time into a small bitmap.
class CharacterCell {
 public:
  CharacterCell() : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kCell;
    info.bmiHeader.biHeight = -kCell;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &pixels_, nullptr, 0);
    SelectObject(dc_, bitmap_);
    font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0,
                        kDialogFont);
    SelectObject(dc_, font_);
  }
  ~CharacterCell() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    DeleteObject(font_);
  }

  std::wstring Face() const {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc_, LF_FACESIZE, face);
    return face;
  }

  std::vector<char> Draw(wchar_t c) const {
    PatBlt(dc_, 0, 0, kCell, kCell, WHITENESS);
    TextOutW(dc_, 0, 0, &c, 1);
    GdiFlush();
    std::vector<char> drawn(kCell * kCell * 4);
    std::memcpy(drawn.data(), pixels_, drawn.size());
    return drawn;
  }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HFONT font_ = nullptr;
  void* pixels_ = nullptr;
};

std::string Utf8(const std::wstring& wide) {
  return updater::UTF16ToUTF8(updater::win::FromWide(wide));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  std::ifstream file(std::filesystem::path(argv[1]), std::ios::binary);
  if (!file) return 1;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::wstring text = updater::win::ToWide(updater::UTF8ToUTF16(bytes));

  const CharacterCell cell;
  printf("%s\n", Utf8(cell.Face()).c_str());
  const std::vector<char> missing_glyph = cell.Draw(kUnassigned);
  std::wstring missing;
  for (wchar_t c : text) {
    if (c <= L' ' || missing.find(c) != std::wstring::npos) continue;
    if (cell.Draw(c) == missing_glyph) missing += c;
  }
  for (wchar_t c : missing) printf("U+%04X\n", static_cast<unsigned>(c));
  return 0;
}
