#ifndef PLATFORM_H
#define PLATFORM_H

// What differs between the systems the program runs on, and nothing else:
// the program's bytes are the same everywhere, and these are the only places
// where reaching them takes each system's own means.

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#elif __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

// A second build of the evaluation for AVX2 exists where the compiler can
// make one for an x86-64 target; the processor decides at run time whether
// it is used, the same way on ELF, PE and Mach-O.
//
// WebAssembly cannot decide at run time: a module is compiled with all of its
// instructions or refused whole, and LLVM gives every function of a module
// the features of all of them. So the WebAssembly build is one build for
// SIMD128 (-msimd128), its baseline evaluation included, and a browser
// without SIMD128 is told so in words (web/worker.js).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVANE_AVX2 1
#define QUORVANE_AVX2_TARGET __attribute__((target("avx2"), flatten))
#else
#define QUORVANE_AVX2 0
#define QUORVANE_AVX2_TARGET
#endif
#if defined(__wasm__) && !defined(__wasm_simd128__)
#error "WebAssembly builds are for SIMD128: compile with -msimd128"
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

// A double-click on the .exe gives it a console window of its own, which
// closes the moment the program ends, table and error lines with it. Only
// then is there a window to hold open: the program is the one process on
// its console, and reads and writes that console rather than a pipe or a
// file. From cmd or PowerShell the shell shares the console, and Wine run
// from a Unix shell makes a console that outlives the program, so neither
// waits, nor does any script.
inline bool HoldsWindowOpen(unsigned long processesOnConsole, bool inputIsConsole,
                            bool outputIsConsole, bool underWine) {
  return processesOnConsole == 1 && inputIsConsole && outputIsConsole && !underWine;
}

#if defined(_WIN32)
inline bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Waits for Enter on the console itself: what the C library has buffered of
// the equation's line must not count as the answer.
inline void WaitForEnter() {
  std::fflush(stdout);
  std::fflush(stderr);
  static const char kAsk[] = "\nPress Enter to close this window.\n";
  DWORD done = 0;
  WriteConsoleA(GetStdHandle(STD_OUTPUT_HANDLE), kAsk, sizeof kAsk - 1, &done, nullptr);
  // Keys pressed while the table was worked out would close it unseen.
  FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
  char line[256];
  ReadConsoleA(GetStdHandle(STD_INPUT_HANDLE), line, sizeof line, &done, nullptr);
}
#endif

// Called first thing: however the run ends, by returning from main or by a
// fatal stop's exit, a window the program has to itself waits for Enter.
inline void HoldWindowAtExit() {
#if defined(_WIN32)
  DWORD process = 0;
  const bool underWine =
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  if (HoldsWindowOpen(GetConsoleProcessList(&process, 1), IsConsole(STD_INPUT_HANDLE),
                      IsConsole(STD_OUTPUT_HANDLE), underWine))
    std::atexit(WaitForEnter);
#endif
}

// A long equation's texts and trees come and go in buffers of megabytes.
// glibc would raise its threshold for mapping a buffer of its own each time
// it frees a large one, and then serve the next ones from a heap that keeps
// what they free; with the threshold fixed, every buffer of a megabyte or
// more goes back to the system when it is freed.
inline void ReturnFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
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

// A table goes out whole where memory is cheap to fault in, as it was built.
// WebAssembly's memory has no huge pages, and faulting a fresh 4 KiB page in
// can cost as much as writing it several times over, so there the program
// writes its table in slices as its rows are made, from the start of a
// buffer that stays in cache, and the pages beyond it are never touched. The
// page's worker then holds the table once, in its own copy; node writes each
// slice on. Nothing can fail between a table's first row and its last, so
// the bytes are the same either way. The program asks for slices first thing;
// the tests take whole tables from the engine. 0 means whole.
#if defined(__EMSCRIPTEN__)
inline int &TableSlice() {
  static int bytes = 0;
  return bytes;
}

inline void WriteTablesInSlices() { TableSlice() = 1 << 20; }
#else
constexpr int TableSlice() { return 0; }

inline void WriteTablesInSlices() {}
#endif

// Tells the page's worker how many bytes of the table are to come, before
// the first, so that it takes one array for the whole output rather than
// joining the slices into one at the end, when it would hold them twice.
inline void ExpectTable(long long bytes) {
#if defined(__EMSCRIPTEN__)
  // Emscripten names the arguments $0, $1 and so on, which C++ would not.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdollar-in-identifier-extension"
  EM_ASM(
      {
        if (Module['expectTable'])
          Module['expectTable']($0);
      },
      static_cast<double>(bytes));
#pragma clang diagnostic pop
#else
  (void)bytes;
#endif
}

} // namespace platform

#endif
