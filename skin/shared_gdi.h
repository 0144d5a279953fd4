// The fonts and bitmaps that all skinned buttons of the module share: each is made for its first
// user and freed with its last, instead of once per button and per state. Buttons of dialogs on
// different threads share them too.
#pragma once

#include <windows.h>

#include <memory>

#include "handles.h"

namespace qz {

struct SharedBitmap {
  unique_bitmap bitmap;
  int width = 0;
  int height = 0;
};

// A bitmap resource of the module (LoadImageA as a DIB section, its own size); null when the
// resource does not load.
std::shared_ptr<const SharedBitmap> LoadSharedBitmap(UINT id);

// The buttons' caption font: Arial, 9 points at the screen's resolution.
std::shared_ptr<const unique_font> ButtonFont();

// Draws the whole bitmap at (0, 0) of `target`, at its own size, leaving out `transparent`.
// A bitmap can be selected into one device context at a time, so drawings of one shared bitmap
// take turns.
void DrawSharedBitmap(HDC target, const SharedBitmap& image, COLORREF transparent);

}  // namespace qz
