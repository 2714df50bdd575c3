#include "framework/Printers.h"

#include "framework/Errors.h"
#include "rtl/Sjis.h"
#include "rtl/SystemDlls.h"

namespace framework {

class TPrinter::TPrinterCanvas : public TCanvas {
 public:
  explicit TPrinterCanvas(TPrinter& printer) : printer_(printer) {}

 protected:
  void CreateHandle() override {
    HDC dc = printer_.Handle();
    const int pixelsPerInch = GetDeviceCaps(dc, LOGPIXELSY);
    if (pixelsPerInch > 0 && pixelsPerInch != Font().PixelsPerInch()) {
      const int32_t size = Font().Size();
      Font().SetPixelsPerInch(pixelsPerInch);
      Font().SetSize(size);
    }
    SetHandle(dc);
  }

 private:
  TPrinter& printer_;
};

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() { FreeHandle(); }

void TPrinter::SetPrinterName(const std::string& name) {
  if (name == name_) return;
  FreeHandle();
  name_ = name;
}

HDC TPrinter::Handle() {
  if (dc_) return dc_.get();
  std::wstring device = rtl::SjisToWide(name_);
  if (device.empty()) {
    DWORD size = 0;
    rtl::sys::GetDefaultPrinterW(nullptr, &size);
    if (size == 0) throw EPrinter::NoPrinter();
    device.resize(size);
    if (!rtl::sys::GetDefaultPrinterW(device.data(), &size)) throw EPrinter::NoPrinter();
    device.resize(size > 0 ? size - 1 : 0);
  }
  dc_.reset(CreateDCW(L"WINSPOOL", device.c_str(), nullptr, nullptr));
  if (!dc_) throw EPrinter::NoPrinter();
  return dc_.get();
}

TCanvas& TPrinter::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TPrinterCanvas>(*this);
  return *canvas_;
}

void TPrinter::FreeHandle() {
  if (canvas_) canvas_->SetHandle(nullptr);
  dc_.reset();
}

TPrinter& Printer() {
  static TPrinter printer;
  return printer;
}

}  // namespace framework
