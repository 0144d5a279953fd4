// The compiled resources: every dialog template control by control, the button faces, the
// cursor, the project name and the version information.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handles.h"
#include "resource.h"

namespace qz {
namespace {

HMODULE Module() { return GetModuleHandleA(nullptr); }

// ---- dialog templates ---------------------------------------------------------------------

struct Control {
  int id;
  std::wstring kind;  // window class
  std::wstring text;
  short x, y, cx, cy;
  DWORD style;
  bool operator==(const Control& o) const {
    return id == o.id && kind == o.kind && text == o.text && x == o.x && y == o.y && cx == o.cx &&
           cy == o.cy && style == o.style;
  }
};

void PrintTo(const Control& c, std::ostream* os) {
  *os << "{id " << c.id << ", rect " << c.x << "," << c.y << " " << c.cx << "x" << c.cy << ", style 0x"
      << std::hex << c.style << std::dec << ", text length " << c.text.size() << "}";
}

struct Template {
  DWORD style = 0;
  DWORD extendedStyle = 0;
  short cx = 0, cy = 0;
  std::wstring title;
  WORD pointSize = 0;
  std::wstring font;
  std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX as windres writes it.
class TemplateReader {
 public:
  explicit TemplateReader(const BYTE* data) : m_p(data) {}

  Template Read() {
    Template t;
    Word();  // version
    Word();  // signature 0xFFFF
    Dword();  // help id
    t.extendedStyle = Dword();
    t.style = Dword();
    WORD items = Word();
    Word();
    Word();
    t.cx = static_cast<short>(Word());
    t.cy = static_cast<short>(Word());
    NameOrOrdinal();  // menu
    NameOrOrdinal();  // class
    t.title = String();
    if (t.style & DS_SETFONT) {
      t.pointSize = Word();
      Word();  // weight
      Word();  // italic, charset
      t.font = String();
    }
    for (WORD i = 0; i < items; ++i) t.controls.push_back(ReadControl());
    return t;
  }

 private:
  Control ReadControl() {
    Align();
    Control c;
    Dword();  // help id
    Dword();  // extended style
    c.style = Dword();
    c.x = static_cast<short>(Word());
    c.y = static_cast<short>(Word());
    c.cx = static_cast<short>(Word());
    c.cy = static_cast<short>(Word());
    c.id = static_cast<int>(Dword());
    c.kind = NameOrOrdinal();
    c.text = NameOrOrdinal();
    m_p += Word();  // creation data
    return c;
  }

  WORD Word() {
    WORD w;
    memcpy(&w, m_p, 2);
    m_p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    memcpy(&d, m_p, 4);
    m_p += 4;
    return d;
  }
  std::wstring String() {
    std::wstring s;
    for (WORD c = Word(); c; c = Word()) s.push_back(static_cast<wchar_t>(c));
    return s;
  }
  // Predefined classes come as ordinals; name them as the system does.
  std::wstring NameOrOrdinal() {
    WORD first;
    memcpy(&first, m_p, 2);
    if (first != 0xFFFF) return String();
    Word();
    switch (Word()) {
      case 0x80: return L"Button";
      case 0x81: return L"Edit";
      case 0x82: return L"Static";
      case 0x85: return L"ComboBox";
      default: return L"?";
    }
  }
  void Align() {
    while (reinterpret_cast<UINT_PTR>(m_p) % 4) ++m_p;
  }

  const BYTE* m_p;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPush = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefault = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kGroup = kChild | BS_GROUPBOX;
constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kFramed = 0x80C800C8;  // popup, caption, system menu, modal frame, font, fixed-sys
const std::wstring kButton = L"Button", kEditClass = L"Edit", kStatic = L"Static";

struct TemplateCase {
  int id;
  DWORD style;
  short cx, cy;
  std::wstring title;
  std::vector<Control> controls;
};

const std::vector<TemplateCase> kTemplates = {
    {IDD_ENCRYPT, kFramed, 249, 356, L"文件夹加密",
     {
         {IDCANCEL, kButton, L"取消", 157, 323, 53, 14, kPush},
         {IDOK, kButton, L"加密", 36, 323, 47, 14, kDefault},
         {-1, kButton, L"", 8, 14, 234, 332, kGroup},
         {-1, kButton, L"请输入要加密的文件夹", 10, 23, 229, 36, kGroup},
         {IDC_SOURCE_FOLDER, kEditClass, L"", 12, 38, 165, 14, kEdit},
         {IDC_CHOOSE_SOURCE, kButton, L"选择...", 182, 38, 53, 14, kPush},
         {-1, kButton, L"请输入加密后文件夹的保存地址", 9, 64, 231, 37, kGroup},
         {IDC_DEST_FOLDER, kEditClass, L"", 12, 79, 166, 14, kEdit},
         {IDC_CHOOSE_DEST, kButton, L"选择...", 182, 78, 52, 14, kPush},
         {-1, kButton, L"设置默认证书", 9, 103, 231, 40, kGroup},
         {IDC_CERT_NAME, kEditClass, L"", 15, 119, 116, 14, kEdit},
         {IDC_VIEW_CERT, kButton, L"查看证书", 136, 119, 49, 14, kPush},
         {IDC_CHANGE_CERT, kButton, L"更改...", 188, 119, 47, 14, kPush},
         {-1, kButton, L"", 9, 142, 231, 24, kGroup},
         {IDC_ADVANCED, kButton, L"高级设置...", 165, 148, 63, 16, kPush},
         {-1, kButton, L"", 9, 312, 231, 29, kGroup},
         {IDC_OTHERS_GROUP, kButton, L"其他人证书", 10, 171, 230, 91, kGroup},
         {IDC_CERT_LIST, L"SysListView32", L"", 12, 181, 226, 79, kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT},
         {IDC_LDAP_GROUP, kButton, L"查询LDAP服务器上可用证书", 10, 264, 231, 50, kGroup},
         {IDC_SEARCH_TEXT, kEditClass, L"", 74, 289, 103, 15, kEdit},
         {IDC_SEARCH, kButton, L"查询", 185, 290, 50, 16, kPush},
         {IDC_UPPER_ENCRYPT, kButton, L"加密", 19, 149, 47, 14, kPush},
         {IDC_UPPER_CANCEL, kButton, L"取消", 90, 149, 44, 14, kPush},
         {-1, kStatic, L"电子邮件：", 29, 293, 42, 8, kLabel},
     }},
    {IDD_DEFAULT_CERT, kFramed, 267, 116, L"设置默认数字证书",
     {
         {IDOK, kButton, L"确定", 48, 84, 53, 14, kDefault},
         {IDCANCEL, kButton, L"取消", 161, 84, 57, 14, kPush},
         {-1, kButton, L"", 6, 12, 255, 97, kGroup},
         {-1, kButton, L"", 9, 15, 249, 61, kGroup},
         {-1, kButton, L"", 9, 76, 249, 30, kGroup},
         {IDC_DEFAULT_CERT_TABLE, L"SysListView32", L"", 11, 20, 246, 54,
          kChild | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_ALIGNLEFT},
     }},
    {IDD_DECRYPT, kFramed, 288, 214, L"解密文件夹",
     {
         {IDOK, kButton, L"解密", 57, 174, 52, 18, kDefault},
         {IDCANCEL, kButton, L"取消", 173, 174, 52, 18, kPush},
         {-1, kButton, L"", 7, 15, 274, 186, kGroup},
         {-1, kButton, L"待解密的文件夹", 10, 25, 269, 41, kGroup},
         {-1, kButton, L"解密后的文件夹", 10, 70, 270, 46, kGroup},
         {-1, kButton, L"选择证书", 10, 121, 268, 43, kGroup},
         {-1, kButton, L"", 10, 165, 268, 31, kGroup},
         {IDC_ENCRYPTED_FOLDER, kEditClass, L"", 15, 40, 196, 14, kEdit},
         {IDC_CHOOSE_ENCRYPTED, kButton, L"选择...", 219, 40, 50, 14, kPush},
         {IDC_PLAIN_FOLDER, kEditClass, L"", 16, 89, 193, 14, kEdit},
         {IDC_CHOOSE_PLAIN, kButton, L"选择...", 219, 88, 50, 14, kPush},
         {-1, kStatic, L"以下证书可用于解密此文件:", 56, 134, 99, 8, kLabel},
         {IDC_DECRYPT_CERTS, L"ComboBox", L"", 19, 144, 139, 30,
          kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_SORT},
         {IDC_VIEW_DECRYPT_CERT, kButton, L"查看证书...", 184, 142, 61, 16, kPush},
     }},
    {IDD_BUSY, 0x80080048, 208, 47, L"",
     {
         {-1, kStatic, L"正在查询,请稍等.....", 39, 18, 87, 8, 0x50020000},
     }},
    {IDD_SKIN_DEFAULT, kFramed, 320, 200, L"Dialog",
     {
         {IDOK, kButton, L"OK", 209, 179, 50, 14, kDefault},
         {IDCANCEL, kButton, L"Cancel", 263, 179, 50, 14, kPush},
     }},
};

TEST(DialogTemplates, AreChinesePrcWithTheGivenStylesSizesAndControls) {
  for (const TemplateCase& expected : kTemplates) {
    SCOPED_TRACE(expected.id);
    HRSRC found = FindResourceExA(Module(), reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(expected.id),
                                  MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_NE(found, nullptr) << "no Chinese (PRC) template";
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    Template t = TemplateReader(data).Read();
    EXPECT_EQ(t.style, expected.style);
    EXPECT_EQ(t.extendedStyle, 0u);
    EXPECT_EQ(t.cx, expected.cx);
    EXPECT_EQ(t.cy, expected.cy);
    EXPECT_TRUE(t.title == expected.title);
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_TRUE(t.font == L"MS Shell Dlg");
    ASSERT_EQ(t.controls.size(), expected.controls.size());
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
      Control actual = t.controls[i];
      if (_wcsicmp(actual.kind.c_str(), expected.controls[i].kind.c_str()) == 0)
        actual.kind = expected.controls[i].kind;
      EXPECT_EQ(actual, expected.controls[i]) << "control " << i;
    }
  }
}

// ---- button faces -------------------------------------------------------------------------

struct Face {
  unique_bitmap bitmap;
  DIBSECTION dib{};

  explicit Face(int id)
      : bitmap(static_cast<HBITMAP>(
            LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {
    if (bitmap) GetObjectA(bitmap.get(), sizeof(dib), &dib);
  }
  int Width() const { return dib.dsBm.bmWidth; }
  int Height() const { return dib.dsBm.bmHeight; }
  // (r, g, b) of the pixel (x, y) counted from the top.
  COLORREF At(int x, int y) const {
    const auto* row = static_cast<const BYTE*>(dib.dsBm.bmBits) + (Height() - 1 - y) * dib.dsBm.bmWidthBytes;
    return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
  int Grey(int x, int y) const { return GetRValue(At(x, y)); }
};

enum class Look { Dark, Light };

TEST(ButtonFaces, HaveTheirSizesBodyGreyCornersAndNoTransparentPixel) {
  const struct {
    int id, width, height;
    Look look;
  } cases[] = {{IDB_BUTTON, 72, 22, Look::Dark}, {IDB_BUTTON_WIDE, 93, 22, Look::Dark},
               {IDB_ADVANCED_DONE, 93, 22, Look::Light}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    Face face(c.id);
    ASSERT_TRUE(face.bitmap);
    EXPECT_EQ(face.dib.dsBm.bmBitsPixel, 24);
    ASSERT_EQ(face.Width(), c.width);
    ASSERT_EQ(face.Height(), c.height);
    for (auto [x, y] : {std::pair{0, 0}, {c.width - 1, 0}, {0, c.height - 1}, {c.width - 1, c.height - 1}})
      EXPECT_EQ(face.At(x, y), RGB(238, 238, 238)) << x << "," << y;
    int magenta = 0, darkest = 255;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        magenta += face.At(x, y) == RGB(255, 0, 255);
        darkest = std::min(darkest, face.Grey(x, y));
      }
    EXPECT_EQ(magenta, 0);
    int middle = c.width / 2;
    if (c.look == Look::Dark) {
      EXPECT_GT(face.Grey(middle, 2), 110) << "grey highlight on top";
      EXPECT_LT(face.Grey(middle, c.height - 3), 40) << "near-black below";
    } else {
      EXPECT_GT(face.Grey(3, c.height / 2), 200) << "light grey face";
      EXPECT_LT(darkest, 130) << "the caption painted in";
    }
  }
}

TEST(HandCursor, IsA32PixelMonochromePointerWithItsHotSpotAtTheFingertip) {
  HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  unique_bitmap mask(info.hbmMask), colour(info.hbmColor);
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 6u);
  EXPECT_EQ(info.yHotspot, 0u);
  EXPECT_FALSE(colour) << "monochrome: mask and colour bits stacked in one bitmap";
  BITMAP bits{};
  GetObjectA(mask.get(), sizeof(bits), &bits);
  EXPECT_EQ(bits.bmWidth, 32);
  EXPECT_EQ(bits.bmHeight, 64);
}

TEST(ProjectName, IsString100) {
  char text[64] = "";
  ASSERT_GT(LoadStringA(Module(), IDS_PROJNAME, text, sizeof(text)), 0);
  EXPECT_STREQ(text, "ZaDizuvOzar");
}

TEST(VersionInformation, Is1001ForTheLibrary) {
  char path[MAX_PATH];
  GetModuleFileNameA(Module(), path, MAX_PATH);
  std::vector<BYTE> data(GetFileVersionInfoSizeA(path, nullptr));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  for (const char* key : {"InternalName", "OriginalFilename"}) {
    char* value = nullptr;
    std::string query = std::string("\\StringFileInfo\\080404b0\\") + key;
    ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &size)) << key;
    EXPECT_STREQ(value, "ZaDizuvOzar.dll") << key;
  }
}

}  // namespace
}  // namespace qz
