// Two figures of the whole updater: the size of PeUpdate.exe less its payload resource, and the
// memory of the running process during an update, driven through its windows as a user would.
// Arguments (Unix paths): the updater, and an installed executable it accepts (copied to a scratch
// folder).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "e2e/Driver.h"
#include "rtl/Sjis.h"
#include "support/ScratchFolder.h"

namespace {

const wchar_t kRegistryKey[] = L"Pelano5.Application";

std::wstring Wide(const char* utf8) { return rtl::SjisToWide(rtl::Utf8ToSjis(utf8)); }

DWORD ResourceSize(HMODULE module, const wchar_t* name, const wchar_t* type) {
  HRSRC info = FindResourceW(module, name, type);
  return info == nullptr ? 0 : SizeofResource(module, info);
}

// The payload's inflated size: the container's u32 after "ZLIBCompress" and 0x1A.
DWORD InflatedSize(HMODULE module) {
  HRSRC info = FindResourceW(module, L"UPDATEDATA", MAKEINTRESOURCEW(10));
  if (info == nullptr || SizeofResource(module, info) < 17) return 0;
  const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, info)));
  return data[13] | data[14] << 8 | data[15] << 16 | static_cast<DWORD>(data[16]) << 24;
}

bool Fail(const char* what) {
  std::printf("  could not measure: %s\n", what);
  return false;
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(process, &counters, sizeof counters);
  return counters;
}

double MB(double bytes) { return bytes / 1048576.0; }

bool MeasureUpdate(const std::wstring& exe, const std::wstring& installed, DWORD inflated) {
  testing_support::ScratchFolder folder;
  if (!CopyFileW(installed.c_str(), folder.File(L"Pelano5.exe").c_str(), FALSE)) return Fail("no installed copy");
  std::wstring key = std::wstring(kRegistryKey) + L"\\dstDir";
  RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, folder.path().c_str(),
               static_cast<DWORD>(folder.path().size() * sizeof(wchar_t)));

  bool measured = false;
  {
    testing_support::RunningProgram updater(exe);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, updater.Id());
    const std::wstring title = Wide("ぺらの5.16アップデーター");
    HWND main = testing_support::WaitForWindow(updater.Id(), title, L"TfrmMain");
    HWND dialog = nullptr;
    if (main != nullptr) {
      testing_support::Click(testing_support::FindChildByText(main, Wide("アップデート")));
      dialog = testing_support::WaitForWindow(updater.Id(), title, L"TfrmInputPath");
    }
    if (process == nullptr || dialog == nullptr) {
      Fail("the updater's windows did not appear");
    } else {
      Sleep(300);  // let the dialog settle
      const PROCESS_MEMORY_COUNTERS before = Memory(process);
      testing_support::Click(testing_support::FindChildByText(dialog, Wide("開始")));
      HWND box = testing_support::WaitForMessageBox(updater.Id());
      if (box == nullptr) {
        Fail("no message after the update");
      } else {
        const PROCESS_MEMORY_COUNTERS after = Memory(process);
        const std::wstring text = testing_support::ReadMessageBox(box).text;
        testing_support::Answer(box, L"OK");
        measured = text == Wide("アップデートは正常に終了しました") && updater.WaitForExit() == 0;
        if (!measured) Fail("the update did not succeed");
        const double growth = static_cast<double>(after.PeakWorkingSetSize) - before.WorkingSetSize;
        const double goal = 2.0 * inflated + 8 * 1048576.0;
        std::printf("  working set before the update %.1f MB; peak of the whole process %.1f MB\n",
                    MB(before.WorkingSetSize), MB(after.PeakWorkingSetSize));
        std::printf("  peak private memory of the whole process %.1f MB\n", MB(after.PeakPagefileUsage));
        std::printf("  the update's peak above the working set before it: %.2f MB\n", MB(growth));
        std::printf("  goal: twice the inflated payload (%lu bytes) plus 8 MB = %.2f MB; ratio %.2f\n", inflated,
                    MB(goal), growth / goal);
      }
    }
    if (process != nullptr) CloseHandle(process);
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kRegistryKey);
  return measured;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: bench_program <PeUpdate.exe> <an installed Pelano5.exe it updates>\n");
    return 2;
  }
  const std::wstring exe = testing_support::WindowsPath(argv[1]), installed = testing_support::WindowsPath(argv[2]);

  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &attributes) || module == nullptr) {
    std::printf("cannot read %ls\n", exe.c_str());
    return 1;
  }
  const DWORD fileSize = attributes.nFileSizeLow;
  const DWORD payload = ResourceSize(module, L"UPDATEDATA", MAKEINTRESOURCEW(10));
  const DWORD logo = ResourceSize(module, L"LOGO", MAKEINTRESOURCEW(2));
  const DWORD inflated = InflatedSize(module);
  FreeLibrary(module);

  std::printf("1. PeUpdate.exe: %lu bytes, payload resource %lu bytes\n", fileSize, payload);
  std::printf("  less the payload: %lu bytes = %.0f KB (goal: at most 800 KB; ratio %.2f)\n", fileSize - payload,
              (fileSize - payload) / 1024.0, (fileSize - payload) / (800.0 * 1024));
  std::printf("  of which the 24-bit logo resource: %lu bytes\n", logo);

  std::printf("2. Memory of the process during an update (payload inflated: %lu bytes)\n", inflated);
  return MeasureUpdate(exe, installed, inflated) ? 0 : 1;
}
