#include "x11/bitmap_transfer.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <X11/Xutil.h>

#include <cstring>

namespace {

// Errors of the attach are caught here instead of ending the program: a
// remote server answers the query but cannot reach our segment.
bool attachFailed = false;
int NoteAttachError(Display*, XErrorEvent*) {
  attachFailed = true;
  return 0;
}

}  // namespace

bool BitmapTransfer::Create(Display* connection, int width, int height, bool useShm) {
  Release();
  display = connection;
  // The per-byte model below holds when bytes are the unit or the byte and
  // bit orders agree; otherwise Xlib converts a plain MSB-first image.
  const bool bytewise = BitmapUnit(display) == 8 || BitmapBitOrder(display) == ImageByteOrder(display);
  reverseBits = bytewise && BitmapBitOrder(display) == LSBFirst;
  for (int b = 0; b < 256; ++b) {
    int r = 0;
    for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
    reversed[b] = static_cast<std::uint8_t>(r);
  }
  if (useShm && bytewise && CreateShared(width, height)) return true;
  return CreatePlain(width, height);
}

bool BitmapTransfer::CreateShared(int width, int height) {
  if (!XShmQueryExtension(display)) return false;
  image = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 1, XYBitmap,
                          nullptr, &segment, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
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

bool BitmapTransfer::CreatePlain(int width, int height) {
  image = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 1, XYBitmap, 0,
                       nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                       width / 8);
  if (image == nullptr) return false;
  if (BitmapUnit(display) != 8 && BitmapBitOrder(display) != ImageByteOrder(display)) {
    // Neither order matches bytewise: describe the copy as it is and let
    // Xlib convert.
    image->bitmap_bit_order = MSBFirst;
    image->byte_order = MSBFirst;
    image->bitmap_unit = 8;
  }
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

void BitmapTransfer::Release() {
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

void BitmapTransfer::Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpBits, int x,
                         int y) {
  if (image == nullptr || bottomUpBits == nullptr) return;
  const int rows = image->height;
  const int stride = image->width / 8;
  for (int row = 0; row < rows; ++row) {
    const std::uint8_t* source = bottomUpBits + static_cast<std::size_t>((rows - 1 - row) * stride);
    auto* target = reinterpret_cast<std::uint8_t*>(image->data) +
                   static_cast<std::size_t>(row * image->bytes_per_line);
    if (reverseBits) {
      for (int k = 0; k < stride; ++k) target[k] = reversed[source[k]];
    } else {
      std::memcpy(target, source, static_cast<std::size_t>(stride));
    }
  }
  const auto width = static_cast<unsigned>(image->width);
  const auto height = static_cast<unsigned>(rows);
  if (shmAttached) {
    XShmPutImage(display, drawable, gc, image, 0, 0, x, y, width, height, False);
    XSync(display, False);
  } else {
    XPutImage(display, drawable, gc, image, 0, 0, x, y, width, height);
    XFlush(display);
  }
}
