#include "framework/Errors.h"

#include "rtl/Sjis.h"

namespace framework {

namespace texts {

#define FRAMEWORK_TEXT(name, utf8)                     \
  const std::string& name() {                          \
    static const std::string text = rtl::Utf8ToSjis(utf8); \
    return text;                                       \
  }

FRAMEWORK_TEXT(AssignError, "%s を %s に代入することはできません")
FRAMEWORK_TEXT(InvalidBitmap, "ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です")
FRAMEWORK_TEXT(LastResortTitle, "ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ")
FRAMEWORK_TEXT(UnknownException, "不明な例外が発生しました")
FRAMEWORK_TEXT(DuplicateName, "ｺﾝﾎﾟｰﾈﾝﾄ名 %s はすでに使われています")
FRAMEWORK_TEXT(InvalidName, "%s はｺﾝﾎﾟｰﾈﾝﾄ名に使えません")
FRAMEWORK_TEXT(CannotShowModal, "表示中または無効なｳｨﾝﾄﾞｳはﾓｰﾀﾞﾙ表示できません")
FRAMEWORK_TEXT(CannotFocus, "無効または非表示のｳｨﾝﾄﾞｳにﾌｫｰｶｽを移せません")
FRAMEWORK_TEXT(NoParentWindow, "ｺﾝﾄﾛｰﾙ '%s' には親ｳｨﾝﾄﾞｳがありません")
FRAMEWORK_TEXT(OutOfResources, "ｼｽﾃﾑﾘｿｰｽが足りません")
FRAMEWORK_TEXT(CanvasWithoutHandle, "ﾃﾞﾊﾞｲｽｺﾝﾃｷｽﾄのないｷｬﾝﾊﾞｽには描画できません")
FRAMEWORK_TEXT(ScanLineRange, "ｽｷｬﾝﾗｲﾝの番号が範囲外です")
FRAMEWORK_TEXT(UnsupportedPixelFormat, "このﾋﾟｸｾﾙ形式には変換できません")
FRAMEWORK_TEXT(CanvasNotLocked, "ﾛｯｸされていないｷｬﾝﾊﾞｽのﾛｯｸは解除できません")
FRAMEWORK_TEXT(UnsupportedClipboardFormat, "未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです")
FRAMEWORK_TEXT(InvalidIcon, "ｱｲｺﾝ ｲﾒｰｼﾞが不正です")
FRAMEWORK_TEXT(InvalidMetafile, "ﾒﾀﾌｧｲﾙが不正です")
FRAMEWORK_TEXT(JpegError, "JPEG ｴﾗｰ #%d")
FRAMEWORK_TEXT(CannotResizeIcon, "ｱｲｺﾝのｻｲｽﾞは変更できません")
FRAMEWORK_TEXT(CannotResizeJpeg, "JPEG ｲﾒｰｼﾞのｻｲｽﾞは変更できません")
FRAMEWORK_TEXT(UnknownExtension, "拡張子 .%s の画像ﾌｧｲﾙには対応していません")
FRAMEWORK_TEXT(NoPrinter, "ﾌﾟﾘﾝﾀが選択されていないか、使用できません")
FRAMEWORK_TEXT(LayoutError, "ﾚｲｱｳﾄ %s の %d 行目: %s")
FRAMEWORK_TEXT(Syntax, "構文ｴﾗｰ")
FRAMEWORK_TEXT(ClassNotFound, "ｸﾗｽ %s が登録されていません")
FRAMEWORK_TEXT(NoProperty, "ﾌﾟﾛﾊﾟﾃｨ %s がありません")
FRAMEWORK_TEXT(BadValue, "ﾌﾟﾛﾊﾟﾃｨ %s の値が不正です")
FRAMEWORK_TEXT(NoMethod, "ﾒｿｯﾄﾞ %s がないか、型が合いません")
FRAMEWORK_TEXT(NoComponent, "ｺﾝﾎﾟｰﾈﾝﾄ %s がありません")
FRAMEWORK_TEXT(TooDeep, "入れ子が深すぎます")
FRAMEWORK_TEXT(WrongRoot, "ﾙｰﾄのｸﾗｽ %s がﾌｫｰﾑのｸﾗｽと違います")

#undef FRAMEWORK_TEXT

}  // namespace texts

namespace {
std::string Fill(const std::string& format, std::string_view value) {
  return rtl::Format(format.c_str(), std::string(value).c_str());
}
}  // namespace

EAssignError::EAssignError(std::string_view sourceClass, std::string_view targetClass)
    : EConvertError(rtl::Format(texts::AssignError().c_str(), std::string(sourceClass).c_str(),
                                std::string(targetClass).c_str())) {}

EComponentError EComponentError::DuplicateName(std::string_view name) {
  return EComponentError(Fill(texts::DuplicateName(), name));
}
EComponentError EComponentError::InvalidName(std::string_view name) {
  return EComponentError(Fill(texts::InvalidName(), name));
}

EInvalidOperation EInvalidOperation::CannotShowModal() { return EInvalidOperation(texts::CannotShowModal()); }
EInvalidOperation EInvalidOperation::CannotFocus() { return EInvalidOperation(texts::CannotFocus()); }
EInvalidOperation EInvalidOperation::NoParentWindow(std::string_view controlName) {
  return EInvalidOperation(Fill(texts::NoParentWindow(), controlName));
}

EInvalidOperation EInvalidOperation::CanvasWithoutHandle() {
  return EInvalidOperation(texts::CanvasWithoutHandle());
}

EInvalidGraphic::EInvalidGraphic() : Exception(texts::InvalidBitmap()) {}

EInvalidGraphic EInvalidGraphic::UnsupportedClipboardFormat() {
  return EInvalidGraphic(texts::UnsupportedClipboardFormat());
}

EInvalidGraphic EInvalidGraphic::UnknownExtension(std::string_view extension) {
  return EInvalidGraphic(Fill(texts::UnknownExtension(), extension));
}

EInvalidGraphic EInvalidGraphic::InvalidIcon() { return EInvalidGraphic(texts::InvalidIcon()); }
EInvalidGraphic EInvalidGraphic::InvalidMetafile() { return EInvalidGraphic(texts::InvalidMetafile()); }

EInvalidOperation EInvalidOperation::CanvasNotLocked() { return EInvalidOperation(texts::CanvasNotLocked()); }

EInvalidGraphicOperation EInvalidGraphicOperation::UnsupportedPixelFormat() {
  return EInvalidGraphicOperation(texts::UnsupportedPixelFormat());
}

EInvalidGraphicOperation EInvalidGraphicOperation::CannotResizeIcon() {
  return EInvalidGraphicOperation(texts::CannotResizeIcon());
}
EInvalidGraphicOperation EInvalidGraphicOperation::CannotResizeJpeg() {
  return EInvalidGraphicOperation(texts::CannotResizeJpeg());
}

EPrinter EPrinter::NoPrinter() { return EPrinter(texts::NoPrinter()); }

EOutOfResources::EOutOfResources() : Exception(texts::OutOfResources()) {}

EInvalidGraphicOperation EInvalidGraphicOperation::ScanLineRange() {
  return EInvalidGraphicOperation(texts::ScanLineRange());
}

ELayoutError::ELayoutError(std::string_view layoutName, int line, std::string_view detail)
    : EStreamError(rtl::Format(texts::LayoutError().c_str(), std::string(layoutName).c_str(), line,
                               std::string(detail).c_str())) {}

std::string ELayoutError::Syntax() { return texts::Syntax(); }
std::string ELayoutError::ClassNotFound(std::string_view className) { return Fill(texts::ClassNotFound(), className); }
std::string ELayoutError::NoProperty(std::string_view name) { return Fill(texts::NoProperty(), name); }
std::string ELayoutError::BadValue(std::string_view name) { return Fill(texts::BadValue(), name); }
std::string ELayoutError::NoMethod(std::string_view name) { return Fill(texts::NoMethod(), name); }
std::string ELayoutError::NoComponent(std::string_view name) { return Fill(texts::NoComponent(), name); }
std::string ELayoutError::TooDeep() { return texts::TooDeep(); }
std::string ELayoutError::WrongRoot(std::string_view className) { return Fill(texts::WrongRoot(), className); }

}  // namespace framework
