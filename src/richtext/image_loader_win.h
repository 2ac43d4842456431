// The process-wide background image loader of the rich-text engine. Requests go into one
// queue; a single worker thread (started on demand, ending when the queue is empty)
// decodes each file with GDI+ and sends kMsgImageLoaded to the requesting window with
// the request's token in wParam and the bitmap in lParam. The window hands the bitmap to
// its engine and returns non-zero; otherwise (or when the window is gone) the loader
// deletes the bitmap.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace richtext {

constexpr UINT kMsgImageLoaded = WM_USER + 1001;

// Only files on this machine's own disks are ever opened: a UNC or device path, a path in
// the system's own namespaces ("\\?\", "\??\", "\\.\"), an address with a scheme, or a
// drive mapped to a network share is refused, so content can never make the program
// connect to another machine. `resolved` receives the full path that was checked, which
// is the one to open.
bool IsLocalImagePath(const std::u16string& path, std::u16string* resolved = nullptr);

// Queues a request; refused sources are logged and dropped.
void QueueImageLoad(HWND window, const std::u16string& source, uint32_t token);
// Withdraws every request of the window still waiting in the queue.
void WithdrawImageLoads(HWND window);
// Requests of the window still waiting (for tests).
int PendingImageLoads(HWND window);
// Drops every waiting request and waits for the worker to finish the image in hand, so
// nothing decodes after GDI+ is shut down. Later requests are refused. Call from the UI
// thread: the worker's delivery to a window of this thread is handled while waiting.
void StopImageLoader();

}  // namespace richtext
