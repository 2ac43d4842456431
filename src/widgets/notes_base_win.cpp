#include "widgets/notes_base_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "framework/wstr_win.h"
#include "res/resource.h"
#include "widgets/desktop_embed_win.h"
#include "widgets/frame_images_win.h"
#include "widgets/news_content.h"

namespace {

constexpr UINT kTickMs = 20;
// The Ctrl key is watched this long after the pointer last moved over the widget: a
// pointer left resting on the desktop costs nothing.
constexpr DWORD kCtrlWatchRestMs = 5000;

bool KeyDown(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

}  // namespace

CNotesBase::CNotesBase(widgets::WidgetEnv& env)
    : env_(env),
      theme_(*widgets::FindTheme(widgets::kDefaultThemeId)) {
  engine_ = std::make_unique<richtext::CRichDrawWin>();
}

CNotesBase::~CNotesBase() {
  ready_ = false;
  tooltip_.Destroy();
  if (engine_) engine_->Attach(nullptr);
}

// --- Creation and destruction -------------------------------------------------------

void CNotesBase::ShowWidget() {
  visible = 1;
  if (IsWindow()) {
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    Repaint();  // the system may not have kept the image of a hidden window: all of it again
    return;
  }
  widgets::ClampWidgetSize(&width, &height);
  RECT rc = PlaceForRecord();
  RebuildFonts();
  blendAlpha_ = alpha;
  widgets::GetWidgetImages(ui::NearestImageScale(dpi_));

  DWORD ex = WS_EX_LAYERED | WS_EX_TOOLWINDOW | (topmost == 1 ? WS_EX_TOPMOST : 0);
  // Made hidden and shown with its first image (see WidgetCompositor::Push): a layered window shown
  // before it has one is painted blank by the system, and costs a round of paint messages.
  if (!Create(kWidgetWindowClass, nullptr, rc, kWidgetTitle, WS_POPUP, ex, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS,
              LoadCursorW(nullptr, IDC_ARROW)))
    return;
  const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  const bool frameChanged = (style & WS_CAPTION) != 0;
  if (frameChanged) SetWindowLongW(hwnd_, GWL_STYLE, style & ~WS_CAPTION);
  compositor_.ShowOnFirstPush(frameChanged);
  // The small icon is set by a timer: timers come after every posted message, so the
  // widgets made at start-up show their images and feeds first. (A tool window's icon
  // shows nowhere at once, and under Wine setting it costs about a tenth of making the
  // window.)
  ::SetTimer(hwnd_, kWidgetTimerIcon, USER_TIMER_MINIMUM, nullptr);

  AttachToDesktop(WantsDesktop(env_.Settings().embed_desktop));
  ApplyColorTheme(tmpl.bkcolor_id);

  rects_ = widgets::ComputeWidgetRects(rc.right - rc.left, rc.bottom - rc.top, 0, 0, dpi_);
  rects_.content = widgets::InitialContentRect(rc.right - rc.left, rc.bottom - rc.top, dpi_);
  engine_->Attach(hwnd_);
  engine_->SetRepaintHandler([this] { Repaint(); });
  engine_->SetAreaRepaintHandler([this](const richtext::Rect& r) { RepaintArea({r.left, r.top, r.right, r.bottom}); });
  engine_->SetRect(rects_.content.left, rects_.content.top, rects_.content.right, rects_.content.bottom);
  engine_->SetDefaultFont(compositor_.contentFont(), 0);
  engine_->SetLineSpacing(Px(linespace));
  SetContent(content);
  engine_->SetCursorResource(kWidgetCursorResource);
  engine_->SetDragScroll(SmoothingSetting());
  engine_->SetEnabled(SmoothingSetting());
  engine_->SetDefaultColor(textcolor);
  engine_->ScrollTo(0, scrolly);

  UpdateRectsAndSurfaces();
  tooltip_.Create(hwnd_, rects_.content, kHintFollowLink);
  OnWidgetCreated();
  ready_ = true;
  // Composed with the next turn of the message loop, together with whatever the caller
  // sets up next (the first refresh's status, say); ComposeIfPending does it at once.
  Repaint();
}

void CNotesBase::DestroyWidget() {
  ready_ = false;
  tooltip_.Destroy();
  if (engine_) engine_->Attach(nullptr);
  if (IsWindow()) DestroyWindow();
  compositor_.Reset();
  visible = 0;
}

bool CNotesBase::SmoothingSetting() const { return env_.Settings().smoothing != 0; }

// --- Record operations ---------------------------------------------------------------

void CNotesBase::SetContent(const std::u16string& text) {
  content = text;
  if (!IsWindow()) return;
  if (env_.Settings().version < 1.6f) engine_->SetAllTextColor(textcolor);
  engine_->SetHtml(text);
  Repaint();
  RecordChanged();
}

std::u16string CNotesBase::GetContent() {
  // The engine holds exactly the generated text; it is kept as given.
  return content;
}

void CNotesBase::MoveTo(int nx, int ny) {
  x = nx;
  y = ny;
  displaced_ = false;
  RecordChanged();
  if (IsWindow()) SetWindowPos(hwnd_, nullptr, nx, ny, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotesBase::ResizeTo(int w, int h) {
  // The same bounds as at creation: a long feed scrolls inside the widget instead.
  widgets::ClampWidgetSize(&w, &h);
  width = w;
  height = h;
  if (IsWindow()) {
    // The window takes the new size with its next image, which is laid out for it now: a
    // move of its own would cost the system a round of messages and a new surface more.
    // (A size it has, or will have, is left alone.)
    const SIZE now = ClientSize();
    if (now.cx != Px(w) || now.cy != Px(h)) {
      KeepGrowthOnWorkArea(Px(w), Px(h));
      compositor_.SizeOnPush(SIZE{Px(w), Px(h)});
      LayOut();
    }
  }
  RecordChanged(widgets::kSaveDelayAfterResize);
}

void CNotesBase::LayOutContentForWidth(int w) {
  if (!IsWindow()) return;
  int h = height;
  widgets::ClampWidgetSize(&w, &h);
  const widgets::WidgetImages& im = widgets::GetWidgetImages(ui::NearestImageScale(dpi_));
  const widgets::Rect c =
      widgets::ComputeWidgetRects(Px(w), ClientSize().cy, im.grip.width, im.grip.height, dpi_).content;
  engine_->SetRect(c.left, c.top, c.right, c.bottom);
}

void CNotesBase::SetAlpha(uint8_t a) {
  blendAlpha_ = a;
  alpha = a;
  RecordChanged();
  Repaint();
}

int CNotesBase::ApplyTemplate(const NoteTemplate& t) {
  if (t.type != 1) return 0;
  tmpl = t;
  ApplyColorTheme(t.bkcolor_id);
  return 1;
}

bool CNotesBase::ApplyColorTheme(int id) {
  const widgets::ColorTheme* t = widgets::FindTheme(id);
  if (!t) return false;
  tmpl.bkcolor_id = id;
  theme_ = *t;
  Repaint();
  RecordChanged();
  return true;
}

void CNotesBase::SetTextColor(uint32_t color) {
  textcolor = color;
  engine_->SetDefaultColor(color);
  if (!IsWindow()) return;
  engine_->SetAllTextColor(color);
  Repaint();
  RecordChanged();
}

void CNotesBase::BeginFollowCursor(const POINT* from) {
  POINT at{};
  if (from) {
    at = *from;
  } else {
    GetCursorPos(&at);
  }
  follower_.Begin(at.x, at.y);
  if (hwnd_) ::SetTimer(hwnd_, kWidgetTimerFollow, kTickMs, nullptr);
}

void CNotesBase::EndFollowCursor() {
  if (hwnd_) ::KillTimer(hwnd_, kWidgetTimerFollow);
}

void CNotesBase::SetGroupName(const std::u16string& name) {
  group_name = name;
  RecordChanged();
}

void CNotesBase::SetTopmost(int on) {
  topmost = on;
  RecordChanged();
  if (!IsWindow()) return;
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  if (on == 1) {
    AttachToDesktop(0);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, keep);
  } else {
    SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    AttachToDesktop(WantsDesktop(env_.Settings().embed_desktop));
  }
}

void CNotesBase::AttachToDesktop(int on) {
  if (!IsWindow()) return;
  // A window given another parent may lose its image: the next push is all of it.
  if (!on) {
    if (GetParent(hwnd_)) {
      SetParent(hwnd_, nullptr);
      Repaint();
    }
    return;
  }
  if (!WantsDesktop(env_.Settings().embed_desktop) || !widgets::CanEmbedInDesktop()) return;
  SetParent(hwnd_, widgets::FindDesktopListView());
  Repaint();
}

int CNotesBase::SetFont(int size, int bold, const std::u16string& face) {
  font_size = size;
  font_bold = bold;
  font_face = face;
  RebuildContentFont();
  if (IsWindow()) {
    engine_->SetDefaultFont(compositor_.contentFont(), 1);
    Repaint();
    RecordChanged();
  }
  return 1;
}

void CNotesBase::GetFont(int* size, int* bold, std::u16string* face) const {
  *size = font_size;
  *bold = font_bold;
  *face = font_face;
}

void CNotesBase::SetLineSpace(int pixels) {
  engine_->SetLineSpacing(pixels);
  linespace = pixels;
  RecordChanged();
}

void CNotesBase::SetSmoothScroll(int on) {
  engine_->SetDragScroll(on);
  engine_->SetEnabled(on);
  if (!on) engine_->SetCaret(0);
}

void CNotesBase::IdleReset() {
  if (engine_->IsReadOnly()) return;
  engine_->SetReadOnly(1);
  engine_->SetEnabled(SmoothingSetting());
  if (!SmoothingSetting()) engine_->SetCaret(0);
}

// --- Painting ----------------------------------------------------------------------

widgets::ComposeLook CNotesBase::Look() const {
  widgets::ComposeLook look;
  look.ready = ready_;
  look.dpi = dpi_;
  look.alpha = blendAlpha_;
  look.theme = &theme_;
  look.textColor = textcolor;
  look.rects = &rects_;
  look.engine = engine_.get();
  look.title = &titleText_;
  look.buttons = Hovered() || KeepButtonsShown();
  look.refreshCaption = ShowRefreshCaption();
  return look;
}

void CNotesBase::RepaintButtons() {
  RepaintArea(rects_.refresh);
  RepaintArea(rects_.menu);
}

LRESULT CNotesBase::OnComposeRequest(UINT, WPARAM, LPARAM, BOOL&) {
  compositor_.OnComposeRequest();
  return 0;
}

SIZE CNotesBase::ClientSize() const {
  SIZE pending;
  if (compositor_.PendingSize(&pending)) return pending;
  RECT rc;
  ::GetClientRect(hwnd_, &rc);
  return SIZE{rc.right, rc.bottom};
}

void CNotesBase::UpdateRectsAndSurfaces() {
  const SIZE size = ClientSize();
  const widgets::WidgetImages& im = widgets::GetWidgetImages(ui::NearestImageScale(dpi_));
  rects_ = widgets::ComputeWidgetRects(size.cx, size.cy, im.grip.width, im.grip.height, dpi_);
  compositor_.SizeSurfaces(size, textcolor);
}

LRESULT CNotesBase::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
  // Painted at once, between BeginPaint and EndPaint. (Validating and asking for a compose
  // at the next frame instead made the end-to-end tests' widget menus fail under Wine.)
  PAINTSTRUCT ps;
  BeginPaint(hwnd_, &ps);
  Compose();
  EndPaint(hwnd_, &ps);
  return 0;
}

// --- Input ---------------------------------------------------------------------------

LRESULT CNotesBase::OnLButtonUp(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  engine_->OnLButtonUp(static_cast<unsigned>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  tooltip_.Relay(msg, wParam, lParam);
  return 0;
}

LRESULT CNotesBase::OnMouseMove(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  const int mx = GET_X_LPARAM(lParam), my = GET_Y_LPARAM(lParam);
  TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_HOVER, hwnd_, 0};
  TrackMouseEvent(&tme);
  if (!mouseInside_) {
    mouseInside_ = true;
    RepaintButtons();
  }
  const bool textDraggable = engine_->IsEnabled() && engine_->GetContentHeight() >= rects_.content.height();
  if (drag_.Move(wParam == MK_LBUTTON, textDraggable)) {
    // Move the window as if its caption had been pressed; WM_MOVE stores the place.
    POINT pt;
    GetCursorPos(&pt);
    ReleaseCapture();
    displaced_ = false;  // where the user puts it is its place now
    SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    return 0;
  }
  engine_->OnMouseMove(static_cast<unsigned>(wParam), mx, my);
  lastMouse_ = {mx, my};
  (void)msg;
  return 0;
}

LRESULT CNotesBase::OnTimer(UINT msg, WPARAM id, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  if (engine_->ForwardMessage(msg, id, lParam, &r)) return r;
  if (id == kWidgetTimerCompose) compositor_.ComposeDirty();
  if (id == kWidgetTimerCtrlWatch) OnCtrlWatchTick();
  if (id == kWidgetTimerFollow) OnFollowTick();
  if (id == kWidgetTimerIcon) {
    ::KillTimer(hwnd_, kWidgetTimerIcon);
    SetSmallIcon();
  }
  return 0;
}

void CNotesBase::SetSmallIcon() {
  // Shared: loaded once by the system for every widget, never destroyed by one.
  HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                             LR_SHARED));
  if (icon) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CNotesBase::OnFollowTick() {
  POINT pt;
  GetCursorPos(&pt);
  int dx = 0, dy = 0;
  if (!follower_.Step(pt.x, pt.y, KeyDown(VK_CONTROL), KeyDown(VK_LBUTTON), &dx, &dy)) {
    ::KillTimer(hwnd_, kWidgetTimerFollow);
    RecordChanged();
    return;
  }
  RECT rc;
  GetWindowRect(hwnd_, &rc);
  displaced_ = false;
  SetWindowPos(hwnd_, nullptr, rc.left + dx, rc.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CNotesBase::OnCtrlWatchTick() {
  POINT at;
  GetCursorPos(&at);
  if (at.x != ctrlWatchAt_.x || at.y != ctrlWatchAt_.y) {
    ctrlWatchAt_ = at;
    ctrlWatchSince_ = GetTickCount();
  } else if (GetTickCount() - ctrlWatchSince_ > kCtrlWatchRestMs) {
    // Resting: the next move and hover start the watch again.
    ::KillTimer(hwnd_, kWidgetTimerCtrlWatch);
    ctrlWatchOn_ = false;
    ctrlWatchRested_ = true;
    return;
  }
  const bool down = KeyDown(VK_CONTROL);
  if (down == ctrlWasDown_) return;
  ctrlWasDown_ = down;
  if (!down) {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return;
  }
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  if (rects_.content.Contains(pt.x, pt.y) && engine_->GetLinkAt(pt.x, pt.y, nullptr))
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
}

LRESULT CNotesBase::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // The size an image brings: laid out and recorded already.
  if (compositor_.pushingSize()) return 0;
  RECT rc = PlaceInParent();
  if (!displaced_) {
    x = rc.left;
    y = rc.top;
  }
  width = ui::ToLogical(rc.right - rc.left, dpi_);
  height = ui::ToLogical(rc.bottom - rc.top, dpi_);
  RecordChanged(widgets::kSaveDelayAfterResize);
  if (!engine_->IsAttached()) return 0;  // still being created
  // A size given by anyone else (the user, the system) replaces one waiting for a push.
  compositor_.DropPendingSize();
  LayOut();
  return 0;
}

void CNotesBase::LayOut() {
  UpdateRectsAndSurfaces();
  engine_->SetRect(rects_.content.left, rects_.content.top, rects_.content.right, rects_.content.bottom);
  tooltip_.SetRect(rects_.content);
  OnWidgetResized();
  // Sizes often change twice in a row (width, then height): one compose serves both.
  Repaint();
}

LRESULT CNotesBase::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) {
  drag_.Hover();
  // Only the Ctrl+click rule makes the key change the pointer over a link.
  if (!env_.Settings().ctrl_lclick) return 0;
  // The system says "hover" again whenever windows change under a pointer that has not
  // moved: the pointer still rests, and the watch neither restarts nor stays awake for it.
  POINT at;
  GetCursorPos(&at);
  const bool samePlace = at.x == ctrlWatchAt_.x && at.y == ctrlWatchAt_.y;
  if (samePlace && ctrlWatchRested_) return 0;
  if (!samePlace || !ctrlWatchOn_) {
    ctrlWatchAt_ = at;
    ctrlWatchSince_ = GetTickCount();
  }
  ctrlWatchOn_ = true;
  ctrlWatchRested_ = false;
  ctrlWasDown_ = KeyDown(VK_CONTROL);
  ::SetTimer(hwnd_, kWidgetTimerCtrlWatch, kTickMs, nullptr);
  return 0;
}

LRESULT CNotesBase::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
  ++hoverEnds_;
  ::KillTimer(hwnd_, kWidgetTimerCtrlWatch);
  ctrlWatchOn_ = ctrlWatchRested_ = false;
  drag_.Leave();
  if (engine_->IsReadOnly()) mouseInside_ = false;
  if (linkHighlighted_) {
    engine_->ClearLinkHighlight(widgets::kLinkColor);
    linkHighlighted_ = false;
  }
  RepaintButtons();
  return 0;
}

LRESULT CNotesBase::OnMouseWheel(UINT, WPARAM wParam, LPARAM, BOOL&) {
  engine_->OnMouseWheel(static_cast<int32_t>(wParam));
  return 0;
}

LRESULT CNotesBase::OnKeyInput(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  engine_->ForwardMessage(msg, wParam, lParam, &r);
  return 0;
}

LRESULT CNotesBase::OnFocus(UINT msg, WPARAM, LPARAM, BOOL&) {
  if (msg == WM_SETFOCUS) {
    engine_->OnSetFocus();
  } else {
    engine_->OnKillFocus();
  }
  return 0;
}

LRESULT CNotesBase::OnActivate(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    ++hoverEnds_;
    if (!linkHighlighted_) mouseInside_ = false;
    IdleReset();
    RecordChanged();
    Repaint();
  }
  handled = FALSE;
  return 0;
}

LRESULT CNotesBase::OnImageLoaded(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT r = 0;
  engine_->ForwardMessage(msg, wParam, lParam, &r);
  return r;
}

LRESULT CNotesBase::OnGlideAtRest(UINT, WPARAM, LPARAM, BOOL&) {
  scrolly = engine_->GetScrollPos();
  RecordChanged();
  return 0;
}
