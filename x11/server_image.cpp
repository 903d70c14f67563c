#include "x11/server_image.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <X11/Xutil.h>

namespace {

// Errors of the attach are caught here instead of ending the program: a
// remote server answers the query but cannot reach our segment.
bool attachFailed = false;
int NoteAttachError(Display*, XErrorEvent*) {
  attachFailed = true;
  return 0;
}

}  // namespace

bool ServerImage::Create(Display* connection, Visual* visual, unsigned depth, int format,
                         int width, int height, bool useShm) {
  Release();
  display = connection;
  if (useShm && CreateShared(visual, depth, format, width, height)) return true;
  return CreatePlain(visual, depth, format, width, height);
}

bool ServerImage::CreateShared(Visual* visual, unsigned depth, int format, int width,
                               int height) {
  if (!XShmQueryExtension(display)) return false;
  image = XShmCreateImage(display, visual, depth, format, nullptr, &segment,
                          static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (image == nullptr) return false;
  segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height),
                         IPC_CREAT | 0600);
  void* address = segment.shmid >= 0 ? shmat(segment.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
  if (address != reinterpret_cast<void*>(-1)) {
    segment.shmaddr = image->data = static_cast<char*>(address);
    segment.readOnly = False;
    XSync(display, False);
    attachFailed = false;
    XErrorHandler previous = XSetErrorHandler(&NoteAttachError);
    const Status attached = XShmAttach(display, &segment);
    XSync(display, False);
    XSetErrorHandler(previous);
    shmAttached = attached != 0 && !attachFailed;
  }
  // Marked for removal at once: it goes when both sides have detached, even
  // if this process is killed.
  if (segment.shmid >= 0) shmctl(segment.shmid, IPC_RMID, nullptr);
  if (shmAttached) return true;
  if (segment.shmaddr != nullptr) shmdt(segment.shmaddr);
  image->data = nullptr;
  XDestroyImage(image);
  image = nullptr;
  segment = {};
  return false;
}

bool ServerImage::CreatePlain(Visual* visual, unsigned depth, int format, int width,
                              int height) {
  image = XCreateImage(display, visual, depth, format, 0, nullptr, static_cast<unsigned>(width),
                       static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) return false;
  try {
    plainData.assign(
        static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height), 0);
  } catch (...) {
    XDestroyImage(image);
    image = nullptr;
    return false;
  }
  image->data = plainData.data();
  return true;
}

void ServerImage::Release() {
  if (image == nullptr) return;
  if (shmAttached) {
    XShmDetach(display, &segment);
    XSync(display, False);
    shmdt(segment.shmaddr);
    shmAttached = false;
    segment = {};
  }
  image->data = nullptr;  // ours, not Xlib's to free
  XDestroyImage(image);
  image = nullptr;
  plainData.clear();
  plainData.shrink_to_fit();
}

void ServerImage::Send(Drawable drawable, GC gc, int x, int y) {
  if (image == nullptr) return;
  const auto width = static_cast<unsigned>(image->width);
  const auto height = static_cast<unsigned>(image->height);
  if (shmAttached) {
    XShmPutImage(display, drawable, gc, image, 0, 0, x, y, width, height, False);
    XSync(display, False);
  } else {
    XPutImage(display, drawable, gc, image, 0, 0, x, y, width, height);
    XFlush(display);
  }
}
