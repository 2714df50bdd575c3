#include "rtl/Exception.h"

#include "rtl/Sjis.h"

namespace rtl {

namespace texts {

#define RTL_TEXT(name, utf8)                               \
  const std::string& name() {                              \
    static const std::string text = Utf8ToSjis(utf8);      \
    return text;                                           \
  }

RTL_TEXT(ReadError, "ｽﾄﾘｰﾑからの読み込みｴﾗｰ")
RTL_TEXT(WriteError, "ｽﾄﾘｰﾑへの書き込みｴﾗｰ")
RTL_TEXT(ResNotFound, "%s ﾘｿｰｽが見つかりません")
RTL_TEXT(FCreateError, "ﾌｧｲﾙ %s を作成できません")
RTL_TEXT(FOpenError, "ﾌｧｲﾙ %s は開けません")
RTL_TEXT(IntOverflow, "整数のｵｰﾊﾞｰﾌﾛｰ")
RTL_TEXT(RangeError, "範囲ﾁｪｯｸｴﾗｰ")
RTL_TEXT(CantWriteResourceStream, "読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません")
RTL_TEXT(MemoryStreamError, "ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました")
RTL_TEXT(InvalidStreamOperation, "Invalid stream operation")

#undef RTL_TEXT

}  // namespace texts

namespace {
std::string Substitute(const std::string& format, std::string_view value) {
  std::string text = format;
  std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, value);
  return text;
}
}  // namespace

EFCreateError::EFCreateError(std::string_view fileName, unsigned long systemError)
    : EStreamError(Substitute(texts::FCreateError(), fileName), systemError) {}

EFOpenError::EFOpenError(std::string_view fileName) : EStreamError(Substitute(texts::FOpenError(), fileName)) {}

EResNotFound::EResNotFound(std::string_view resourceName)
    : Exception(Substitute(texts::ResNotFound(), resourceName)) {}

}  // namespace rtl
