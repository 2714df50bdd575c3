#include "app/SingleInstance.h"

namespace app {

namespace {

// A name of the session's namespace, so that other users' updaters in other sessions are no
// concern. (Anyone in the session could take the name first and so keep the updater from running;
// that user could as well not run it.)
const wchar_t kName[] = L"Local\\PeUpdate.Pelano5.{5B0E3A61-2D94-4C7F-8E16-93A4C0F7D258}";
constexpr DWORD kWaitForWindow = 5000;
constexpr DWORD kPollStep = 100;

}  // namespace

TSingleInstance::TSingleInstance()
    : mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), kName)) {
  // Where the place cannot be had at all, this updater runs: refusing would help no one.
  if (!mapping_) return;
  first_ = GetLastError() != ERROR_ALREADY_EXISTS;
  shared_ = static_cast<volatile LONG*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
}

TSingleInstance::~TSingleInstance() {
  if (shared_ != nullptr) UnmapViewOfFile(const_cast<LONG*>(shared_));
}

void TSingleInstance::Publish(HWND window) {
  // Window handles have 32 significant bits in 32-bit and 64-bit processes alike.
  if (first_ && shared_ != nullptr) InterlockedExchange(shared_, static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
}

void TSingleInstance::BringFirstToFront() const {
  if (shared_ == nullptr) return;
  for (DWORD waited = 0; waited < kWaitForWindow; waited += kPollStep) {
    HWND main = reinterpret_cast<HWND>(static_cast<LONG_PTR>(InterlockedCompareExchange(shared_, 0, 0)));
    if (main != nullptr && IsWindow(main)) {
      if (IsIconic(main)) ShowWindow(main, SW_RESTORE);
      // What the user last worked with: the main window, or the dialog or message box over it.
      SetForegroundWindow(GetLastActivePopup(main));
      return;
    }
    Sleep(kPollStep);
  }
}

}  // namespace app
