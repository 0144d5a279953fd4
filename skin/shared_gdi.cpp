#include "shared_gdi.h"

#include <map>
#include <utility>

#include "win_app.h"

namespace qz {
namespace {

// Objects by key, held only by their users: an entry whose last user has gone is made anew.
template <typename Key, typename Value>
class WeakCache {
 public:
  template <typename Make>
  std::shared_ptr<const Value> Get(const Key& key, Make make) {
    ui::ExclusiveLock hold(m_lock);
    std::weak_ptr<const Value>& entry = m_entries[key];
    std::shared_ptr<const Value> shared = entry.lock();
    if (!shared) {
      shared = make();
      entry = shared;
    }
    return shared;
  }

 private:
  SRWLOCK m_lock = SRWLOCK_INIT;
  std::map<Key, std::weak_ptr<const Value>> m_entries;
};

std::shared_ptr<const SharedBitmap> LoadBitmapResource(HINSTANCE instance, UINT id) {
  auto image = std::make_shared<SharedBitmap>();
  image->bitmap.reset(static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  if (!image->bitmap) return nullptr;
  BITMAP size{};
  GetObjectA(image->bitmap.get(), sizeof(size), &size);
  image->width = size.bmWidth;
  image->height = size.bmHeight;
  return image;
}

// MFC's CreatePointFont: tenths of a point at the screen's resolution.
std::shared_ptr<const unique_font> CreatePointFont(int tenthsOfPoint, const char* face) {
  unique_window_dc screen(GetDC(nullptr));
  LOGFONTA font{};
  font.lfHeight = -MulDiv(tenthsOfPoint, GetDeviceCaps(screen.get(), LOGPIXELSY), 720);
  // The character set of our texts' code page: what the default means on Chinese Windows, and a
  // face that has the captions' characters on any other.
  font.lfCharSet = GB2312_CHARSET;
  lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
  return std::make_shared<const unique_font>(CreateFontIndirectA(&font));
}

SRWLOCK g_bitmapDrawing = SRWLOCK_INIT;

}  // namespace

std::shared_ptr<const SharedBitmap> LoadSharedBitmap(UINT id) {
  static WeakCache<std::pair<HINSTANCE, UINT>, SharedBitmap> bitmaps;
  HINSTANCE instance = ui::ResourceInstance();
  return bitmaps.Get({instance, id}, [&] { return LoadBitmapResource(instance, id); });
}

std::shared_ptr<const unique_font> ButtonFont() {
  static WeakCache<int, unique_font> fonts;
  constexpr int kNinePoints = 90;
  return fonts.Get(kNinePoints, [] { return CreatePointFont(kNinePoints, "Arial"); });
}

void DrawSharedBitmap(HDC target, const SharedBitmap& image, COLORREF transparent) {
  unique_memory_dc source(CreateCompatibleDC(target));
  if (!source) return;
  ui::ExclusiveLock turn(g_bitmapDrawing);
  ui::DcState state(source.get());
  SelectObject(source.get(), image.bitmap.get());
  TransparentBlt(target, 0, 0, image.width, image.height, source.get(), 0, 0, image.width,
                 image.height, transparent);
}

}  // namespace qz
