// Registry keys for tests, held by their owner so that a failed assertion closes them too.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/Handles.h"

namespace testing_support {

// The key at path below root, created when missing, with all access; empty when it cannot be had.
inline rtl::TRegistryKey CreateKey(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) return {};
  return rtl::TRegistryKey(key);
}

// Points HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE of this process at fresh keys of its own for its
// lifetime, so that a test neither sees nor disturbs the prefix's entries, nor those of another
// test program running beside it. The keys are deleted afterwards.
class RedirectedRegistry {
 public:
  RedirectedRegistry() : base_(L"Software\\PeUpdateTest\\" + std::to_wstring(GetCurrentProcessId())) {
    RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
    classes_ = CreateKey(HKEY_CURRENT_USER, (base_ + L"\\classes").c_str());
    machine_ = CreateKey(HKEY_CURRENT_USER, (base_ + L"\\machine").c_str());
    redirected_ = classes_ && machine_ && RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get()) == ERROR_SUCCESS &&
                  RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()) == ERROR_SUCCESS;
  }
  ~RedirectedRegistry() {
    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    classes_.reset();
    machine_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
  }
  RedirectedRegistry(const RedirectedRegistry&) = delete;
  RedirectedRegistry& operator=(const RedirectedRegistry&) = delete;

  // Whether both roots now lead to the keys of this process.
  bool redirected() const { return redirected_; }
  HKEY classes() const { return classes_.get(); }
  HKEY machine() const { return machine_.get(); }

 private:
  std::wstring base_;
  rtl::TRegistryKey classes_;
  rtl::TRegistryKey machine_;
  bool redirected_ = false;
};

}  // namespace testing_support
