// A PostScript printer that prints to files, added to the Wine prefix that the tests run in. The
// prefix belongs to the build and outlives a test run, so adding it is idempotent. Every prefix of
// this build can add it; a test that needs it fails when it cannot be had:
//   ASSERT_TRUE(testing_support::EnsureTestPrinter()) << testing_support::TestPrinterFailure();
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>

#include "rtl/Handles.h"

namespace testing_support {

inline constexpr const char* kTestPrinterName = "PeUpdate Test Printer";

// What the last EnsureTestPrinter could not do, with the system's error code.
inline std::string& TestPrinterFailure() {
  static std::string failure;
  return failure;
}

namespace test_printer_detail {

inline bool Fail(const char* step) {
  TestPrinterFailure() = std::string(step) + " failed with error " + std::to_string(GetLastError());
  return false;
}

// The driver's description of the printer: the generic PPD that Wine's spooler carries, written
// under a temporary name and then moved into place, so that test programs running side by side
// never see half of it.
inline bool WriteGenericPpd(const std::string& versionDirectory) {
  rtl::TModuleHandle spooler(LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!spooler) return Fail("loading winspool.drv");
  HRSRC found = FindResourceW(spooler.get(), MAKEINTRESOURCEW(1), L"PPDFILE");
  HGLOBAL loaded = found ? LoadResource(spooler.get(), found) : nullptr;
  const void* ppd = loaded ? LockResource(loaded) : nullptr;
  if (ppd == nullptr) return Fail("finding the PPDFILE resource of winspool.drv");
  const std::string target = versionDirectory + "\\generic.ppd";
  const std::string temporary = target + "." + std::to_string(GetCurrentProcessId());
  rtl::TFileHandle file(
      CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const DWORD size = SizeofResource(spooler.get(), found);
  const bool ok = file && WriteFile(file.get(), ppd, size, &written, nullptr) && written == size && file.close();
  if (!ok) return Fail("writing the PPD");
  if (!MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return Fail("moving the PPD into place");
  return true;
}

}  // namespace test_printer_detail

// True when the printer exists now; otherwise TestPrinterFailure says which step failed.
inline bool EnsureTestPrinter() {
  using test_printer_detail::Fail;
  HANDLE existing = nullptr;
  if (OpenPrinterA(const_cast<char*>(kTestPrinterName), &existing, nullptr)) {
    ClosePrinter(existing);
    return true;
  }
  char directory[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                  &needed)) {
    return Fail("GetPrinterDriverDirectoryA");
  }
  const std::string versionDirectory = std::string(directory) + "\\3";
  CreateDirectoryA(versionDirectory.c_str(), nullptr);
  if (!test_printer_detail::WriteGenericPpd(versionDirectory)) return false;

  DRIVER_INFO_3A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<char*>("Wine PostScript Driver");
  driver.pDriverPath = const_cast<char*>("wineps.drv");
  driver.pConfigFile = const_cast<char*>("wineps.drv");
  driver.pDataFile = const_cast<char*>("generic.ppd");
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
      GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
    return Fail("AddPrinterDriverA");
  }
  PRINTER_INFO_2A printer{};
  printer.pPrinterName = const_cast<char*>(kTestPrinterName);
  printer.pPortName = const_cast<char*>("FILE:");
  printer.pDriverName = driver.pName;
  printer.pPrintProcessor = const_cast<char*>("WinPrint");
  printer.pDatatype = const_cast<char*>("RAW");
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (added == nullptr) return GetLastError() == ERROR_PRINTER_ALREADY_EXISTS || Fail("AddPrinterA");
  ClosePrinter(added);
  return true;
}

// A device context of the test printer for the length of a test; null when the printer could not
// be had (TestPrinterFailure says why):
//   ASSERT_NE(HDC(printer), nullptr) << testing_support::TestPrinterFailure();
class TTestPrinterDC {
 public:
  TTestPrinterDC() : dc_(EnsureTestPrinter() ? CreateDCA("WINSPOOL", kTestPrinterName, nullptr, nullptr) : nullptr) {}
  ~TTestPrinterDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  TTestPrinterDC(const TTestPrinterDC&) = delete;
  TTestPrinterDC& operator=(const TTestPrinterDC&) = delete;
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace testing_support
