// The widget's use of the rich-text engine on GDI: making an engine that measures with
// GDI, painting it into a device context, and reading its content back.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "richtext/rich_draw.h"

namespace widgets {

std::unique_ptr<richtext::CRichDraw> MakeWidgetEngine();
// The engine's description of a GDI font.
richtext::FontDesc FontDescOf(HFONT font);
// Paints the engine's content into `dc` (the font, colours and mode of the DC may change).
void PaintEngine(richtext::CRichDraw& engine, HDC dc);
// The engine's content as HTML-subset text; `fallback` when the engine cannot serialise.
std::u16string EngineHtml(richtext::CRichDraw& engine, const std::u16string& fallback);

}  // namespace widgets
