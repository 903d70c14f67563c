#pragma once
#include <new>

// The framework's out-of-memory exception: a bitmap, a window or another
// resource of the framework could not be allocated. It is a std::bad_alloc,
// so code that guards against allocation failure in general catches it too.
class TXOutOfMemory : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "out of memory"; }
};
