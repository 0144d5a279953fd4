#include "handles.h"

namespace qz::ui {

MemoryCanvas::MemoryCanvas(HDC compatibleWith, int width, int height)
    : m_bitmap(CreateCompatibleBitmap(compatibleWith, width, height)),
      m_dc(CreateCompatibleDC(compatibleWith)) {
  if (m_dc && m_bitmap) SelectObject(m_dc.get(), m_bitmap.get());
}

}  // namespace qz::ui
