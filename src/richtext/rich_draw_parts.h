// What the source files of CRichDraw (rich_draw, rich_layout, rich_scroll, rich_edit and
// rich_undo) share; not for its users.
#pragma once

namespace richtext {
namespace parts {

constexpr int kCaretBlinkMs = 500;

inline int ClampInt(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace parts
}  // namespace richtext
