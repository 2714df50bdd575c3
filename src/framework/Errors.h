// The framework's failures and their texts (CP932).
#pragma once

#include <string>
#include <string_view>

#include "rtl/Exception.h"

namespace framework {

namespace texts {
const std::string& AssignError();  // "%s を %s に代入することはできません"
const std::string& InvalidBitmap();
const std::string& LastResortTitle();
const std::string& UnknownException();
const std::string& JpegError();  // "JPEG ｴﾗｰ #%d"
}  // namespace texts

// A value that cannot be converted or assigned, e.g. a persistent assigned from another class.
class EConvertError : public rtl::Exception {
 public:
  using Exception::Exception;
};

// Raised by Assign: sourceClass is the source's class name or "nil".
class EAssignError : public EConvertError {
 public:
  EAssignError(std::string_view sourceClass, std::string_view targetClass);
};

// A component name that is not an identifier or is already taken in its owner.
class EComponentError : public rtl::Exception {
 public:
  using Exception::Exception;
  static EComponentError DuplicateName(std::string_view name);
  static EComponentError InvalidName(std::string_view name);
};

// An operation that the object's present state does not allow (showing a visible form modally,
// focusing a hidden control, a control without a parent window).
class EInvalidOperation : public rtl::Exception {
 public:
  using Exception::Exception;
  static EInvalidOperation CannotShowModal();
  static EInvalidOperation CannotFocus();
  static EInvalidOperation NoParentWindow(std::string_view controlName);
  static EInvalidOperation CanvasWithoutHandle();
  static EInvalidOperation CanvasNotLocked();
};

// Image data that a graphic cannot read.
class EInvalidGraphic : public rtl::Exception {
 public:
  EInvalidGraphic();  // "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です"
  using Exception::Exception;
  static EInvalidGraphic UnsupportedClipboardFormat();  // "未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです"
  static EInvalidGraphic UnknownExtension(std::string_view extension);
  static EInvalidGraphic InvalidIcon();      // "ｱｲｺﾝ ｲﾒｰｼﾞが不正です"
  static EInvalidGraphic InvalidMetafile();  // "ﾒﾀﾌｧｲﾙが不正です"
};

// A GDI or USER object that the system could not create.
class EOutOfResources : public rtl::Exception {
 public:
  EOutOfResources();
};

// An operation on a graphic that its state does not allow (a scan line out of range).
class EInvalidGraphicOperation : public rtl::Exception {
 public:
  using Exception::Exception;
  static EInvalidGraphicOperation ScanLineRange();
  static EInvalidGraphicOperation UnsupportedPixelFormat();
  static EInvalidGraphicOperation CannotResizeIcon();
  static EInvalidGraphicOperation CannotResizeJpeg();
};

// The printer object without a printer to work with.
class EPrinter : public rtl::Exception {
 public:
  using Exception::Exception;
  static EPrinter NoPrinter();
};

// A form layout that cannot be read: its resource name and line are part of the message.
class ELayoutError : public rtl::EStreamError {
 public:
  using EStreamError::EStreamError;
  ELayoutError(std::string_view layoutName, int line, std::string_view detail);

  static std::string Syntax();
  static std::string ClassNotFound(std::string_view className);
  static std::string NoProperty(std::string_view name);
  static std::string BadValue(std::string_view name);
  static std::string NoMethod(std::string_view name);
  static std::string NoComponent(std::string_view name);
  static std::string TooDeep();
  static std::string WrongRoot(std::string_view className);
};

}  // namespace framework
