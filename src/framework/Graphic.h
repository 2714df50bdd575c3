// The abstract graphic: an image that draws itself on a canvas, loads and saves itself, and tells
// of its changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Canvas.h"
#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Types.h"
#include "rtl/Stream.h"

namespace framework {

// An image that can draw itself, load and save itself through a stream or the clipboard, and tell
// of its changes.
class TGraphic : public TPersistent {
 public:
  static const TClass& StaticClass();
  const TClass& ClassType() const override { return StaticClass(); }

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  // Draws the image stretched into rect, with the canvas's copy mode.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  // Reads from the stream's position to its end.
  virtual void LoadFromStream(rtl::TStream& stream) = 0;
  virtual void SaveToStream(rtl::TStream& stream) const = 0;
  void LoadFromFile(const std::string& fileName);  // CP932 path
  void SaveToFile(const std::string& fileName) const;
  // The clipboard: data and palette stay the caller's on loading; on saving they become the
  // receiver's. The base supports no format (EInvalidGraphic).
  virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) const;

  // The graphic's palette (owned by it), or nullptr.
  virtual HPALETTE Palette() const { return nullptr; }
  // Takes ownership of palette.
  virtual void SetPalette(HPALETTE palette);

  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  // Set by every change; setting it to true fires the change notification, false only clears it.
  bool Modified() const { return modified_; }
  void SetModified(bool modified);

  // The layout's "Data": by default the image as LoadFromStream reads it.
  virtual void ReadData(rtl::TStream& stream) { LoadFromStream(stream); }
  virtual void WriteData(rtl::TStream& stream) const { SaveToStream(stream); }
  bool DataStored() const { return !Empty(); }

  TNotifyEvent OnChange;

 protected:
  // Every change of the image passes through here: marks it modified and fires OnChange.
  virtual void Changed(TObject* sender);
  // A u32 length, then LoadFromStream on the data of that length.
  void ReadSizedData(rtl::TStream& stream);

 private:
  bool transparent_ = false;
  bool modified_ = false;
};

}  // namespace framework
