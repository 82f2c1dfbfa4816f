#ifndef PLATFORM_H
#define PLATFORM_H

// What differs between the systems the program runs on, and nothing else:
// the program's bytes are the same everywhere, and these are the only places
// where reaching them takes each system's own means.

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#elif __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif

// A second build of the evaluation for AVX2 exists where the compiler can
// make one for an x86-64 target; the processor decides at run time whether
// it is used, the same way on ELF, PE and Mach-O.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVANE_AVX2 1
#define QUORVANE_AVX2_TARGET __attribute__((target("avx2"), flatten))
#else
#define QUORVANE_AVX2 0
#define QUORVANE_AVX2_TARGET
#endif

namespace platform {

inline bool HasAvx2() {
#if QUORVANE_AVX2
  // Also false where the system does not save the wide registers. The
  // check may run in a static initialiser, before the runtime's own has
  // read the processor's features, so it asks for them itself.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

// Windows' C runtime would turn every "\n" written into "\r\n" and take a
// Ctrl-Z read for the end of input; in binary mode the streams carry bytes,
// as they do everywhere else.
inline void UseBinaryStreams() {
#if defined(_WIN32)
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

// A table of millions of rows is mostly the cost of faulting its pages in;
// on 2 MiB pages that is a fraction of the work on 4 KiB ones. Only the whole
// pages inside the buffer are advised, and small buffers are left alone.
inline void AdviseHugePages(char *buffer, long long size) {
#if defined(MADV_HUGEPAGE)
  constexpr long long kWorthIt = 4LL << 20;
  const long long page = sysconf(_SC_PAGESIZE);
  if (size < kWorthIt || page <= 0)
    return;
  const long long start = static_cast<long long>(reinterpret_cast<unsigned long long>(buffer));
  char *first = buffer + (page - start % page) % page;
  char *end = buffer + size - (start + size) % page;
  if (first < end)
    madvise(first, end - first, MADV_HUGEPAGE);
#else
  (void)buffer;
  (void)size;
#endif
}

} // namespace platform

#endif
