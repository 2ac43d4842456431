#include "model/notes_local_info.h"

namespace {
const char16_t kDefaultFontFace[] = u"\u5b8b\u4f53";  // 宋体
}

CNotesLocalInfo::CNotesLocalInfo() : font_face(kDefaultFontFace) {}

void CNotesLocalInfo::SetContent(const std::u16string& text) { content = text; }

std::u16string CNotesLocalInfo::GetContent() { return content; }
