#include "app/FDoUpdate.h"

#include <typeinfo>

#include "app/FileReplace.h"
#include "app/FInpPath.h"
#include "app/UMessage.h"
#include "data/UZLIB.h"
#include "rtl/Checked.h"
#include "rtl/ResourceStream.h"
#include "framework/Application.h"
#include "rtl/Sjis.h"

namespace app {

using namespace framework;

const TClass& TfrmDoUpdate::StaticClass() {
  static const TClass info = TClassBuilder<TfrmDoUpdate>("TfrmDoUpdate", &TForm::StaticClass())
                                 .Field("Label1", &TfrmDoUpdate::Label1)
                                 .Field("Label2", &TfrmDoUpdate::Label2)
                                 .Field("ProgressBar1", &TfrmDoUpdate::ProgressBar1)
                                 .Field("ReadyNotifier1", &TfrmDoUpdate::ReadyNotifier1)
                                 .Method("FormCreate", &TfrmDoUpdate::FormCreate)
                                 .Method("FormCloseQuery", &TfrmDoUpdate::FormCloseQuery)
                                 .Method("ReadyNotifier1Ready", &TfrmDoUpdate::ReadyNotifier1Ready);
  return info;
}

TfrmDoUpdate::TfrmDoUpdate(TComponent* owner) : TForm(owner) {
  RegisterClasses({&TReadyNotifier::StaticClass(), &TCatcher::StaticClass()});
  InitializeForm(ResourceModule());
}

TfrmDoUpdate::~TfrmDoUpdate() {
  // The handler refers to this window and must not outlive it.
  if (handlerInstalled_) Application().SetOnException(nullptr);
}

void TfrmDoUpdate::FormCreate(TObject*) {
  SetCaption(Application().Title());
  Label1->SetCaption(
      rtl::Format(Label1->Caption().c_str(), UpdateMajor, UpdateMinorRelease / 10, UpdateMinorRelease % 10));
}

void TfrmDoUpdate::ReadyNotifier1Ready(TObject*) {
  Application().SetOnException([this](const std::exception& error) { DoUpdateException(this, error); });
  handlerInstalled_ = true;
  SetModalResult(mrCancel);
  // The work blocks the message loop: paint the window now, or it would stay blank.
  Repaint();
  ApplyUpdate();
  SetModalResult(mrOk);
}

void TfrmDoUpdate::FormCloseQuery(TObject*, bool& canClose) {
  Application().SetOnException(nullptr);
  handlerInstalled_ = false;
  canClose = true;
}

void TfrmDoUpdate::DoUpdateException(TObject*, const std::exception& error) {
  std::string format = dynamic_cast<const EReadOnly*>(&error) ? msgReadOnly() : msgUnexpectedError();
  ShowAppMessage(rtl::Format(format.c_str(), ExceptionMessage(error).c_str()));
}

void TfrmDoUpdate::ApplyUpdate() {
  rtl::TMemoryStream buffer;
  ProgressBar1->SetMax(3);
  ProgressBar1->SetPosition(1);
  ReadPayload(buffer, resUpdateData(), RT_RCDATA);
  ProgressBar1->SetPosition(2);
  CheckNotReadOnly();
  ProgressBar1->SetPosition(3);
  // The old file stays whole until the new one, flushed to disk, takes its place in one step.
  ReplaceFileContents(TargetPath, buffer.Memory(), buffer.GetSize());
}

namespace {

// Sizes dest for count more bytes at its position, so a memory stream takes them in one allocation
// instead of growing, and copying everything again, for every piece the copy writes.
void ReserveFor(rtl::TStream& dest, int32_t count) {
  int32_t end = rtl::CheckedAdd(dest.GetPosition(), count);
  if (end > dest.GetSize()) dest.SetSize(end);
}

}  // namespace

void ReadPayload(rtl::TStream& dest, const std::string& name, LPCWSTR type) {
  rtl::TResourceStream resource(ResourceModule(), name, type);
  int32_t size = 0;
  if (data::ReadZLIBHeader(resource, size)) {
    rtl::TMemoryStream inflated;
    data::ZLIBDecompressToMemory(resource, inflated, size);
    auto* memory = dynamic_cast<rtl::TMemoryStream*>(&dest);
    if (memory != nullptr && typeid(*memory) == typeid(rtl::TMemoryStream) && memory->GetSize() == 0) {
      // An empty memory stream takes the inflated bytes as they are: the same result as the copy,
      // without a second buffer of the payload's size.
      memory->Swap(inflated);
      memory->SetPosition(size);
    } else {
      ReserveFor(dest, size);
      dest.CopyFrom(inflated, 0);
    }
  } else {
    ReserveFor(dest, resource.GetSize());
    dest.CopyFrom(resource, 0);
  }
}

void CheckNotReadOnly() {
  DWORD attributes = GetFileAttributesW(ExtendedPath(TargetPath).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && attributes > 0 && (attributes & FILE_ATTRIBUTE_READONLY)) {
    throw EReadOnly(TargetPath);
  }
}

}  // namespace app
