#pragma once
// Owning wrappers for the Win32 handles the program holds, so no path that
// can throw ever leaks one.

#include <windows.h>

#include <utility>

namespace sw {

template <typename T, typename Traits>
class UniqueWin32 {
 public:
  UniqueWin32() = default;
  explicit UniqueWin32(T value) : value_(value) {}
  ~UniqueWin32() { Reset(); }
  UniqueWin32(const UniqueWin32&) = delete;
  UniqueWin32& operator=(const UniqueWin32&) = delete;
  UniqueWin32(UniqueWin32&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
  UniqueWin32& operator=(UniqueWin32&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = std::exchange(other.value_, Traits::Invalid());
    }
    return *this;
  }

  T Get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  T Release() { return std::exchange(value_, Traits::Invalid()); }
  void Reset(T value = Traits::Invalid()) {
    if (value_ != Traits::Invalid()) Traits::Close(value_);
    value_ = value;
  }

 private:
  T value_ = Traits::Invalid();
};

struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using UniqueFileHandle = UniqueWin32<HANDLE, FileHandleTraits>;

struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ object) { DeleteObject(object); }
};
using UniqueGdiObject = UniqueWin32<HGDIOBJ, GdiObjectTraits>;

}  // namespace sw
