// A PostScript printer that prints to files, added to the Wine prefix that the tests run in. The
// prefix belongs to the build and outlives a test run, so adding it is idempotent.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <fstream>
#include <string>

namespace testing_support {

inline constexpr const char* kTestPrinterName = "PeUpdate Test Printer";

// True when the printer exists now.
inline bool EnsureTestPrinter() {
  HANDLE existing = nullptr;
  if (OpenPrinterA(const_cast<char*>(kTestPrinterName), &existing, nullptr)) {
    ClosePrinter(existing);
    return true;
  }
  char directory[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(directory), sizeof directory,
                                  &needed)) {
    return false;
  }
  // The driver's description of the printer: the generic PPD that Wine's spooler carries.
  const std::string versionDirectory = std::string(directory) + "\\3";
  CreateDirectoryA(versionDirectory.c_str(), nullptr);
  HMODULE spooler = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (spooler == nullptr) return false;
  HRSRC found = FindResourceW(spooler, MAKEINTRESOURCEW(1), L"PPDFILE");
  HGLOBAL loaded = found ? LoadResource(spooler, found) : nullptr;
  const void* ppd = loaded ? LockResource(loaded) : nullptr;
  if (ppd == nullptr) {
    FreeLibrary(spooler);
    return false;
  }
  {
    std::ofstream file(versionDirectory + "\\generic.ppd", std::ios::binary);
    file.write(static_cast<const char*>(ppd), static_cast<std::streamsize>(SizeofResource(spooler, found)));
  }
  FreeLibrary(spooler);

  DRIVER_INFO_3A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<char*>("Wine PostScript Driver");
  driver.pDriverPath = const_cast<char*>("wineps.drv");
  driver.pConfigFile = const_cast<char*>("wineps.drv");
  driver.pDataFile = const_cast<char*>("generic.ppd");
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver)) &&
      GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
    return false;
  }
  PRINTER_INFO_2A printer{};
  printer.pPrinterName = const_cast<char*>(kTestPrinterName);
  printer.pPortName = const_cast<char*>("FILE:");
  printer.pDriverName = driver.pName;
  printer.pPrintProcessor = const_cast<char*>("WinPrint");
  printer.pDatatype = const_cast<char*>("RAW");
  HANDLE added = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (added == nullptr) return GetLastError() == ERROR_PRINTER_ALREADY_EXISTS;
  ClosePrinter(added);
  return true;
}

}  // namespace testing_support
