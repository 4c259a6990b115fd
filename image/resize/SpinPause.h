#pragma once
// A pause inside a loop that spins for another thread: it eases the
// processor's pipeline and its sibling thread while the wait is short.

namespace sw {

inline void SpinPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  __asm__ __volatile__("yield");
#endif
}

}  // namespace sw
