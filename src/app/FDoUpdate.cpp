#include "app/FDoUpdate.h"

#include "app/FInpPath.h"
#include "app/UMessage.h"
#include "data/UZLIB.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace app {

void ReadPayload(rtl::TStream& dest, const std::string& name, LPCWSTR type) {
  rtl::TResourceStream resource(ResourceModule(), name, type);
  int32_t size = 0;
  if (data::ReadZLIBHeader(resource, size)) {
    rtl::TMemoryStream inflated;
    inflated.SetSize(size);
    data::ZLIBDecompress(resource, inflated, size);
    inflated.SetPosition(0);
    dest.CopyFrom(inflated, 0);
  } else {
    dest.CopyFrom(resource, 0);
  }
}

void CheckNotReadOnly() {
  DWORD attributes = GetFileAttributesW(rtl::SjisToWide(TargetPath).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && attributes > 0 && (attributes & FILE_ATTRIBUTE_READONLY)) {
    throw EReadOnly(TargetPath);
  }
}

}  // namespace app
