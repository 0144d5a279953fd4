// bmpgen OUTPUT_DIR FONT_FILE: draws the button faces and the hand cursor of the library's
// resources. Runs on the build machine, so that the tree holds no binary images and every
// build makes the same ones. The faces are 24-bit bitmaps without a single magenta pixel
// (the skinned button's transparent colour), their corners in the dialog body's grey.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

Rgb Grey(int value) {
  auto v = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
  return {v, v, v};
}

constexpr Rgb kBody{238, 238, 238};

class Image {
 public:
  Image(int width, int height) : m_width(width), m_height(height), m_pixels(width * height, kBody) {}
  int width() const { return m_width; }
  int height() const { return m_height; }
  Rgb& at(int x, int y) { return m_pixels[y * m_width + x]; }

 private:
  int m_width;
  int m_height;
  std::vector<Rgb> m_pixels;
};

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

// A bottom-up 24-bit BMP with a BITMAPINFOHEADER, rows padded to four bytes.
bool WriteBmp(const std::string& path, Image& image) {
  const int rowBytes = (image.width() * 3 + 3) / 4 * 4;
  const std::uint32_t pixelBytes = rowBytes * image.height();
  std::string out = "BM";
  PutLittleEndian(out, 14 + 40 + pixelBytes, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 14 + 40, 4);
  PutLittleEndian(out, 40, 4);
  PutLittleEndian(out, image.width(), 4);
  PutLittleEndian(out, image.height(), 4);
  PutLittleEndian(out, 1, 2);   // planes
  PutLittleEndian(out, 24, 2);  // bits per pixel
  PutLittleEndian(out, 0, 4);   // BI_RGB
  PutLittleEndian(out, pixelBytes, 4);
  PutLittleEndian(out, 2835, 4);  // 72 dpi
  PutLittleEndian(out, 2835, 4);
  PutLittleEndian(out, 0, 4);
  PutLittleEndian(out, 0, 4);
  for (int y = image.height() - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < image.width(); ++x) {
      const Rgb& p = image.at(x, y);
      row += {static_cast<char>(p.b), static_cast<char>(p.g), static_cast<char>(p.r)};
    }
    row.resize(rowBytes, '\0');
    out += row;
  }
  return WriteFile(path, out);
}

// Inside a rectangle whose corners are rounded with a radius of three pixels.
bool InsideRounded(int x, int y, int width, int height) {
  constexpr int kRadius = 3;
  int dx = std::max({kRadius - x, x - (width - 1 - kRadius), 0});
  int dy = std::max({kRadius - y, y - (height - 1 - kRadius), 0});
  return dx * dx + dy * dy <= kRadius * kRadius;
}

bool OnEdge(int x, int y, int width, int height) {
  return InsideRounded(x, y, width, height) &&
         !(InsideRounded(x - 1, y, width, height) && InsideRounded(x + 1, y, width, height) &&
           InsideRounded(x, y - 1, width, height) && InsideRounded(x, y + 1, width, height));
}

// A face: an outline, and a fill chosen per row; outside the rounded shape the body grey.
template <typename RowColor>
Image Face(int width, int height, Rgb outline, RowColor rowColor) {
  Image image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (!InsideRounded(x, y, width, height)) continue;
      image.at(x, y) = OnEdge(x, y, width, height) ? outline : rowColor(y, height);
    }
  return image;
}

// Dark glossy: a grey highlight fading over the upper half, near-black below.
Image DarkFace(int width, int height) {
  return Face(width, height, Grey(20), [](int y, int h) {
    int half = h / 2;
    return y < half ? Grey(150 - (y * 85) / half) : Grey(34 - ((y - half) * 24) / (h - half));
  });
}

Image LightFace(int width, int height) {
  return Face(width, height, Grey(160), [](int y, int h) { return Grey(240 - (y * 30) / h); });
}

std::u32string DecodeUtf8(const std::string& text) {
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? c : c & (0xFF >> (length + 1));
    for (int k = 1; k < length && i + k < text.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(code);
    i += length;
  }
  return out;
}

// Paints `text` centred into the image, blending `ink` over the face by glyph coverage.
bool PaintText(Image& image, const std::string& fontFile, const std::string& text, Rgb ink) {
  FT_Library library;
  if (FT_Init_FreeType(&library)) return false;
  FT_Face face;
  bool ok = !FT_New_Face(library, fontFile.c_str(), 0, &face) && !FT_Set_Pixel_Sizes(face, 0, 12);
  if (ok) {
    std::u32string codes = DecodeUtf8(text);
    int textWidth = 0;
    for (char32_t code : codes)
      if (!FT_Load_Char(face, code, FT_LOAD_DEFAULT)) textWidth += face->glyph->advance.x >> 6;
    int ascender = face->size->metrics.ascender >> 6;
    int descender = face->size->metrics.descender >> 6;
    int penX = (image.width() - textWidth) / 2;
    int baseline = (image.height() - (ascender - descender)) / 2 + ascender;
    for (char32_t code : codes) {
      if (FT_Load_Char(face, code, FT_LOAD_RENDER)) continue;
      const FT_GlyphSlot glyph = face->glyph;
      for (unsigned row = 0; row < glyph->bitmap.rows; ++row)
        for (unsigned col = 0; col < glyph->bitmap.width; ++col) {
          int x = penX + glyph->bitmap_left + static_cast<int>(col);
          int y = baseline - glyph->bitmap_top + static_cast<int>(row);
          if (x < 1 || y < 1 || x >= image.width() - 1 || y >= image.height() - 1) continue;
          int coverage = glyph->bitmap.buffer[row * glyph->bitmap.pitch + col];
          Rgb& p = image.at(x, y);
          auto blend = [coverage](int under, int over) {
            return static_cast<std::uint8_t>((under * (255 - coverage) + over * coverage) / 255);
          };
          p = {blend(p.r, ink.r), blend(p.g, ink.g), blend(p.b, ink.b)};
        }
      penX += glyph->advance.x >> 6;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return ok;
}

// The pointing hand, hot spot at the fingertip (6, 0). X black, o white, anything else clear.
const char* const kHand[] = {
    ".....XX",
    "....XooX",
    "....XooX",
    "....XooX",
    "....XooX",
    "....XooXXX",
    "....XooXooXXX",
    "....XooXooXooXX",
    "....XooXooXooXoX",
    "XXX.XooXooXooXooX",
    "XooXXoooooooooooX",
    "XoooXoooooooooooX",
    ".XooXoooooooooooX",
    "..XooooooooooooX",
    "..XooooooooooooX",
    "...XoooooooooooX",
    "...XooooooooooX",
    "....XoooooooooX",
    "....XoooooooooX",
    ".....XooooooooX",
    ".....XooooooooX",
    ".....XXXXXXXXXX",
};
constexpr int kCursorSize = 32;
constexpr int kHotSpotX = 6;
constexpr int kHotSpotY = 0;

char HandPixel(int x, int y) {
  if (y >= static_cast<int>(sizeof(kHand) / sizeof(kHand[0]))) return '.';
  const std::string row = kHand[y];
  return x < static_cast<int>(row.size()) ? row[x] : '.';
}

// A .cur file with one 32 x 32 monochrome image: colour bits (XOR) then the mask (AND).
bool WriteCursor(const std::string& path) {
  std::string colour, mask;
  for (int y = kCursorSize - 1; y >= 0; --y)
    for (int byte = 0; byte < kCursorSize / 8; ++byte) {
      unsigned char colourBits = 0, maskBits = 0;
      for (int bit = 0; bit < 8; ++bit) {
        char p = HandPixel(byte * 8 + bit, y);
        if (p == 'o') colourBits |= 0x80 >> bit;
        if (p != 'X' && p != 'o') maskBits |= 0x80 >> bit;
      }
      colour.push_back(static_cast<char>(colourBits));
      mask.push_back(static_cast<char>(maskBits));
    }
  std::string image;
  PutLittleEndian(image, 40, 4);
  PutLittleEndian(image, kCursorSize, 4);
  PutLittleEndian(image, kCursorSize * 2, 4);  // colour and mask stacked
  PutLittleEndian(image, 1, 2);
  PutLittleEndian(image, 1, 2);
  PutLittleEndian(image, 0, 4);
  PutLittleEndian(image, static_cast<std::uint32_t>(colour.size() + mask.size()), 4);
  PutLittleEndian(image, 0, 4);
  PutLittleEndian(image, 0, 4);
  PutLittleEndian(image, 2, 4);
  PutLittleEndian(image, 0, 4);
  PutLittleEndian(image, 0x000000, 4);  // palette: black, white
  PutLittleEndian(image, 0xFFFFFF, 4);
  image += colour + mask;

  std::string out;
  PutLittleEndian(out, 0, 2);
  PutLittleEndian(out, 2, 2);  // cursor
  PutLittleEndian(out, 1, 2);
  out += {static_cast<char>(kCursorSize), static_cast<char>(kCursorSize), 2, 0};
  PutLittleEndian(out, kHotSpotX, 2);
  PutLittleEndian(out, kHotSpotY, 2);
  PutLittleEndian(out, static_cast<std::uint32_t>(image.size()), 4);
  PutLittleEndian(out, 6 + 16, 4);
  return WriteFile(path, out + image);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bmpgen OUTPUT_DIR FONT_FILE\n");
    return 2;
  }
  const std::string dir = argv[1];
  Image button = DarkFace(72, 22);
  Image wide = DarkFace(93, 22);
  Image advanced = LightFace(93, 22);
  if (!PaintText(advanced, argv[2], "高级设置...", Grey(96))) {
    std::fprintf(stderr, "bmpgen: cannot render with %s\n", argv[2]);
    return 1;
  }
  bool ok = WriteBmp(dir + "/button.bmp", button) && WriteBmp(dir + "/button_wide.bmp", wide) &&
            WriteBmp(dir + "/advanced_done.bmp", advanced) && WriteCursor(dir + "/hand.cur");
  if (!ok) std::fprintf(stderr, "bmpgen: cannot write into %s\n", argv[1]);
  return ok ? 0 : 1;
}
