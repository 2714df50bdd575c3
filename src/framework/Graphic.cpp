#include "framework/Graphic.h"

#include "framework/Errors.h"
#include "framework/GdiHandles.h"
#include "rtl/Exception.h"
#include "rtl/FileStream.h"

namespace framework {

const TClass& TGraphic::StaticClass() {
  static const TClass info = TClassBuilder<TGraphic>("TGraphic", &TPersistent::StaticClass())
                                 .Binary("Data", &TGraphic::ReadData, &TGraphic::WriteData, &TGraphic::DataStored);
  return info;
}

// A graphic without a palette takes the palette only to delete it.
void TGraphic::SetPalette(HPALETTE palette) { TPaletteHandle discarded(palette); }

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == transparent_) return;
  transparent_ = transparent;
  Changed(this);
}

void TGraphic::SetModified(bool modified) {
  if (modified) {
    Changed(this);
  } else {
    modified_ = false;
  }
}

void TGraphic::Changed(TObject*) {
  modified_ = true;
  OnChange(this);
}

void TGraphic::ReadSizedData(rtl::TStream& stream) {
  uint32_t length = 0;
  stream.ReadBuffer(&length, sizeof length);
  const int64_t remaining = int64_t{stream.GetSize()} - stream.GetPosition();
  if (length > remaining) throw rtl::EReadError();
  rtl::TMemoryStream data;
  if (length > 0) data.CopyFrom(stream, static_cast<int32_t>(length));
  data.SetPosition(0);
  LoadFromStream(data);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  rtl::TFileStream stream(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) const {
  rtl::TFileStream stream(fileName, rtl::fmCreate);
  SaveToStream(stream);
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
  throw EInvalidGraphic::UnsupportedClipboardFormat();
}

void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) const {
  throw EInvalidGraphic::UnsupportedClipboardFormat();
}


// The canvas's members that draw a graphic stand here, beside the graphic they call.
void TCanvas::Draw(int32_t x, int32_t y, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, Bounds(x, y, graphic.Width(), graphic.Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic& graphic) {
  if (graphic.Empty()) return;
  graphic.Draw(*this, rect);
  Changed();
}
}  // namespace framework
