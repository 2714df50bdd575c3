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

TPrinter::~TPrinter() {
  if (printing_) AbortDoc(dc_.get());
  FreeHandle();
}

std::vector<std::string> TPrinter::Printers() {
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0;
  DWORD count = 0;
  rtl::sys::EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &count);
  std::vector<std::string> names;
  if (needed == 0) return names;
  std::vector<BYTE> buffer(needed);
  if (!rtl::sys::EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &count)) return names;
  const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.push_back(rtl::WideToSjis(info[i].pPrinterName));
  return names;
}

void TPrinter::SetPrinterName(const std::string& name) {
  if (printing_) throw EPrinter::Printing();
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

int32_t TPrinter::PageWidth() { return GetDeviceCaps(Handle(), HORZRES); }

void TPrinter::BeginDoc(const std::string& outputFile) {
  if (printing_) throw EPrinter::Printing();
  HDC dc = Handle();
  std::wstring title = rtl::SjisToWide(Title);
  std::wstring output = rtl::SjisToWide(outputFile);
  DOCINFOW info{};
  info.cbSize = sizeof info;
  info.lpszDocName = title.c_str();
  info.lpszOutput = output.empty() ? nullptr : output.c_str();
  if (StartDocW(dc, &info) <= 0) throw EPrinter::NoPrinter();
  if (StartPage(dc) <= 0) {
    AbortDoc(dc);
    throw EPrinter::NoPrinter();
  }
  printing_ = true;
  pageNumber_ = 1;
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter::NotPrinting();
  EndPage(dc_.get());
  StartPage(dc_.get());
  ++pageNumber_;
}

void TPrinter::EndDoc() {
  if (!printing_) throw EPrinter::NotPrinting();
  EndPage(dc_.get());
  ::EndDoc(dc_.get());
  printing_ = false;
  pageNumber_ = 0;
  // A finished job leaves the DC spent; the next use makes a fresh one.
  FreeHandle();
}

void TPrinter::Abort() {
  if (!printing_) throw EPrinter::NotPrinting();
  AbortDoc(dc_.get());
  printing_ = false;
  pageNumber_ = 0;
  FreeHandle();
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
