// Asks wine which characters of a UTF-8 text file the dialog's font cannot
// draw: the font "MS Shell Dlg" resolves to, then each font the prefix links
// behind its substitute (FontLink\SystemLink). Prints the faces it tried on
// the first line, then each character none of them has as U+XXXX; exits 1
// when the text cannot be read.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/file_util_win.h"
#include "base/string_util.h"

namespace {

constexpr wchar_t kDialogFont[] = L"MS Shell Dlg";
constexpr wchar_t kSubstitutes[] =
    LR"(Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes)";
constexpr wchar_t kSystemLink[] =
    LR"(Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink)";

// A registry value of HKLM as UTF-16 units, "" when absent.
std::wstring MachineValue(const wchar_t* key, const std::wstring& name, DWORD type) {
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), type, nullptr, nullptr, &size) !=
      ERROR_SUCCESS)
    return L"";
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name.c_str(), type, nullptr, value.data(), &size) !=
      ERROR_SUCCESS)
    return L"";
  return value;
}

// The dialog font, then the faces linked behind its substitute: each link
// entry is "file,face".
std::vector<std::wstring> FontChain() {
  std::vector<std::wstring> faces = {kDialogFont};
  const std::wstring substitute = MachineValue(kSubstitutes, kDialogFont, RRF_RT_REG_SZ).c_str();
  const std::wstring links = MachineValue(kSystemLink, substitute, RRF_RT_REG_MULTI_SZ);
  for (size_t start = 0; start < links.size() && links[start] != L'\0';) {
    const std::wstring entry = links.substr(start, links.find(L'\0', start) - start);
    if (entry.find(L',') != std::wstring::npos) faces.push_back(entry.substr(entry.find(L',') + 1));
    start += entry.size() + 1;
  }
  return faces;
}

bool HasGlyph(HDC dc, const std::wstring& face, wchar_t c) {
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                           0, face.c_str());
  HGDIOBJ previous = SelectObject(dc, font);
  WORD glyph = 0xffff;
  GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, previous);
  DeleteObject(font);
  return glyph != 0xffff;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  std::ifstream file(std::filesystem::path(argv[1]), std::ios::binary);
  if (!file) return 1;
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::wstring text = updater::win::ToWide(updater::UTF8ToUTF16(bytes));
  const std::vector<std::wstring> faces = FontChain();
  std::wstring tried;
  for (const std::wstring& face : faces) tried += (tried.empty() ? L"" : L";") + face;
  printf("%s\n", updater::UTF16ToUTF8(updater::win::FromWide(tried)).c_str());

  HDC dc = CreateCompatibleDC(nullptr);
  std::wstring missing;
  for (wchar_t c : text) {
    if (c < L' ' || missing.find(c) != std::wstring::npos) continue;
    bool drawn = false;
    for (const std::wstring& face : faces) drawn = drawn || HasGlyph(dc, face, c);
    if (!drawn) missing += c;
  }
  DeleteDC(dc);
  for (wchar_t c : missing) printf("U+%04X\n", static_cast<unsigned>(c));
  return 0;
}
