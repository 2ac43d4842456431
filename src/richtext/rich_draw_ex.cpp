#include "richtext/rich_draw_ex.h"

#include "platform/log.h"
#include "richtext/html_writer.h"

namespace richtext {

namespace {

// A picture whose name is taken (or whose files cannot be written) is tried again under
// a new name this many times.
constexpr int kImageNameAttempts = 8;

bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i], b = prefix[i];
    if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - u'a' + u'A');
    if (b >= u'a' && b <= u'z') b = static_cast<char16_t>(b - u'a' + u'A');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

int CRichDrawEx::IsClipboardEmpty() {
  if (!clipboard_) return 1;
  return clipboard_->HasText() || clipboard_->HasBitmap() || clipboard_->HasRichText() || clipboard_->HasFiles()
             ? 0
             : 1;
}

bool CRichDrawEx::IsFileReference(const std::u16string& text) {
  if (!files_) return false;
  if (!drivesRead_) {
    drivesRead_ = true;
    if (!files_->DriveRoots(&drives_)) drives_.clear();
  }
  // Only text that starts with a drive root is looked up: a share name anywhere in it
  // would make the lookup reach the network.
  for (const std::u16string& root : drives_)
    if (StartsWithNoCase(text, root)) return files_->Exists(text);
  return false;
}

std::u16string CRichDrawEx::FileLinkFontOpening() const {
  const RichItem* from = TypedStyleSource();
  std::u16string out = u"<font color=\"#";
  html::AppendHex6(out, html::ToRgb(from ? from->contentColor : defaultColor_));
  out += u'"';
  if (!from) return out + u" underline=\"1\"";
  out += u" size=\"";
  html::AppendInt(out, from->size / 10);
  out += u'"';
  if (from->bold) out += u" bold=\"1\"";
  if (from->italic) out += u" italic=\"1\"";
  out += u" underline=\"1\"";
  if (from->strikeout) out += u" strikeout=\"1\"";
  if (!from->transparent) {
    out += u" style=\"background-color:#";
    html::AppendHex6(out, html::ToRgb(from->background));
    out += u'"';
  }
  if (from->face) {
    out += u" face=\"";
    html::AppendFace(out, *from->face);
    out += u'"';
  }
  return out;
}

std::u16string CRichDrawEx::FileLink(const std::u16string& path, bool lineBreak) const {
  const std::u16string font = FileLinkFontOpening();
  std::u16string out = font;
  out += u"><a href=\"";
  html::AppendAddress(out, path);
  out += u"\">";
  // The path is shown as it is: a name that looks like markup stays text.
  html::AppendText(out, path, u"</font>" + font + u">");
  out += lineBreak ? u"</a><br></font>" : u"</a></font>";
  return out;
}

void CRichDrawEx::Paste() {
  if (readOnly_ || !clipboard_) return;
  std::u16string text;
  if (clipboard_->HasText() && clipboard_->GetText(&text)) {
    DeleteSelection();
    if (text == lastCopied_ && clipboard_->HasRichText()) {
      PasteRichText();
    } else if (IsFileReference(text)) {
      InsertHtml(FileLink(text, false), caretIndex_);
      SetCaret(caretIndex_);
    } else {
      InsertTyped(text);
    }
    return;
  }
  if (clipboard_->HasRichText()) {
    PasteRichText();
  } else if (clipboard_->HasBitmap()) {
    InsertImageFile(clipboard_->GetBitmap());
  } else if (clipboard_->HasFiles()) {
    std::vector<std::u16string> dropped = clipboard_->GetFiles();
    if (dropped.empty()) return;
    DeleteSelection();
    std::u16string links;
    for (const std::u16string& path : dropped) links += FileLink(path, true);
    InsertHtml(links, caretIndex_);
    SetCaret(caretIndex_);
  }
}

bool CRichDrawEx::InsertImageFile(std::unique_ptr<Bitmap> bitmap) {
  if (!bitmap || !files_) return false;
  DeleteSelection();
  // Nothing is written for a picture the content has no room for.
  if (GetItemCount() >= kItemLimit) {
    LogError("picture not inserted: the text already holds %d items", kItemLimit);
    return false;
  }
  const std::u16string folder = files_->ImageFolder();
  if (folder.empty()) return false;
  Extent box = FitImage(bitmap->Width(), bitmap->Height(), kThumbnailBox);
  std::unique_ptr<Bitmap> thumbnail = bitmap->Stretched(box.cx, box.cy);
  if (!thumbnail) return false;
  for (int attempt = 0; attempt < kImageNameAttempts; ++attempt) {
    const std::u16string name = files_->NewImageName();
    const std::u16string full = folder + name + u".jpg";
    const std::u16string small = folder + name + u"_150.jpg";
    if (!files_->SaveNewJpeg(*bitmap, full)) continue;
    if (!files_->SaveNewJpeg(*thumbnail, small)) {
      files_->Remove(full);
      continue;
    }
    if (!InsertBitmap(std::move(thumbnail), small, full, caretIndex_)) {
      files_->Remove(full);
      files_->Remove(small);
      return false;
    }
    SetCaret(caretIndex_);
    return true;
  }
  return false;
}

}  // namespace richtext
