#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <vector>

// An XImage whose pixels the client fills and sends whole to a drawable:
// in a shared-memory segment when the server has MIT-SHM and can attach it
// (a local server), else in client memory sent with each request. The
// module's only caller of XPutImage and XShmPutImage. Everything is
// allocated in Create; Send allocates nothing.
class ServerImage {
 public:
  ServerImage() = default;
  ~ServerImage() { Release(); }
  ServerImage(const ServerImage&) = delete;
  ServerImage& operator=(const ServerImage&) = delete;

  // An image of width x height pixels of the visual's: format XYBitmap with
  // depth 1, or ZPixmap with the depth of a drawable of that visual. Rows
  // are padded to 32 bits; the layout (bytes_per_line, bits_per_pixel, byte
  // and bit orders) is the server's own, as Image() describes it. Shared
  // memory only when useShm. False when there is no memory for it.
  bool Create(Display* display, Visual* visual, unsigned depth, int format, int width,
              int height, bool useShm);
  void Release();

  // Null before Create. A client-memory image may have its byte and bit
  // orders changed to describe what the caller writes (Xlib then converts);
  // a shared one must keep the server's.
  XImage* Image() const { return image; }
  bool UsesShm() const { return shmAttached; }

  // Sends the whole image with its top-left corner at (x, y). A
  // shared-memory transfer is waited for (the next fill would overwrite
  // what the server still reads); a plain one is flushed.
  void Send(Drawable drawable, GC gc, int x, int y);

 private:
  bool CreateShared(Visual* visual, unsigned depth, int format, int width, int height);
  bool CreatePlain(Visual* visual, unsigned depth, int format, int width, int height);

  Display* display = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  bool shmAttached = false;
  std::vector<char> plainData;  // the plain image's pixels
};
