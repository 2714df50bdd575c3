// Where the app tests find the modules built beside them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/BitBtn.h"
#include "framework/Form.h"
#include "rtl/Sjis.h"

namespace apptest {

// The folder of the running test program, with a trailing backslash, in CP932.
inline std::string ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L'\\') + 1);
  return rtl::WideToSjis(folder);
}

inline std::string FixturePath(const std::string& name) { return ProgramFolder() + name; }

// A module loaded for its resources only, freed on scope exit.
class DataModule {
 public:
  explicit DataModule(const std::string& name)
      : module_(LoadLibraryExW(rtl::SjisToWide(FixturePath(name)).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_) FreeLibrary(module_);
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// A dialog's confirming and cancelling pair: Enter presses the first (modal result OK, first in the
// tab order), Escape the second (Cancel, second).
inline void ExpectConfirmAndCancelButtons(const framework::TBitBtn* confirm, const framework::TBitBtn* cancel) {
  EXPECT_TRUE(confirm->Default());
  EXPECT_EQ(confirm->ModalResult(), framework::mrOk);
  EXPECT_EQ(confirm->TabOrder(), 0);
  EXPECT_TRUE(cancel->Cancel());
  EXPECT_EQ(cancel->ModalResult(), framework::mrCancel);
  EXPECT_EQ(cancel->TabOrder(), 1);
}

}  // namespace apptest
