// The widget frame and title-button images, decoded once per process from the PNG
// resources into premultiplied pixels shared by every widget.
#pragma once
#include "widgets/widget_compose.h"

namespace widgets {

struct WidgetImages {
  FramePieces frame;
  PixelImage grip, refresh, menu;
};

// Loads on first call (on the UI thread); pieces that fail to load stay empty.
const WidgetImages& GetWidgetImages();
// The images drawn for a monitor at `scalePercent` (100, 150 or 200, see
// ui::NearestImageScale): the same pieces, larger.
const WidgetImages& GetWidgetImages(int scalePercent);

// Decodes one PNG resource of type "PNG"; false when it is missing or undecodable.
bool LoadPngResource(int id, PixelImage* out);

}  // namespace widgets
