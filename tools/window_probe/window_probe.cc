// window_probe.exe: how quickly a program's top-level window answers.
//
//   window_probe.exe TITLE SECONDS
//
// Finds the window of class "FLUTTER_RUNNER_WIN32_WINDOW" titled TITLE and
// sends it WM_NULL every 50 ms for SECONDS seconds, or until the window is
// gone. A window that does not answer within 30 s counts as waited-for 30 s.
// Prints one line at the end:
//
//   window probe: ANSWERS answers, longest wait MS ms (S s after the window appeared)
//
// and exits 0 when the window was found at all, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_probe.exe TITLE SECONDS\n");
    return 2;
  }
  const ULONGLONG end = GetTickCount64() + 1000ull * std::wcstoul(argv[2], nullptr, 10);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  long answers = 0;
  double longest_ms = 0;
  double longest_at_s = 0;  // when the longest wait began, from the first answer
  ULONGLONG first_seen = 0;
  bool seen = false;
  while (GetTickCount64() < end) {
    HWND window = FindWindowW(L"FLUTTER_RUNNER_WIN32_WINDOW", argv[1]);
    if (window == nullptr) {
      if (seen) break;  // closed
      Sleep(50);
      continue;
    }
    if (!seen) first_seen = GetTickCount64();
    seen = true;
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    DWORD_PTR result = 0;
    LRESULT answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    QueryPerformanceCounter(&after);
    const double waited =
        1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart;
    if (answered != 0) ++answers;
    if ((answered != 0 || IsWindow(window)) && waited > longest_ms) {
      longest_ms = waited;
      longest_at_s = (GetTickCount64() - first_seen) / 1000.0 - waited / 1000.0;
    }
    Sleep(50);
  }
  std::printf(
      "window probe: %ld answers, longest wait %.0f ms (%.1f s after the window appeared)\n",
      answers, longest_ms, longest_at_s);
  std::fflush(stdout);
  return seen ? 0 : 1;
}
