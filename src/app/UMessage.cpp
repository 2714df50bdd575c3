#include "app/UMessage.h"

#include <algorithm>
#include <cstring>

#include "../../resources/Catalogue.h"
#include "framework/Application.h"
#include "framework/BitBtn.h"
#include "framework/Bitmap.h"
#include "rtl/Checked.h"
#include "rtl/ResourceStream.h"
#include "rtl/Sjis.h"

namespace app {

namespace {

HMODULE resourceModule = nullptr;

std::string LoadCatalogueText(UINT id) {
  const wchar_t* text = nullptr;
  // With a buffer size of 0, LoadStringW hands out a pointer into the resource itself.
  int length = LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return rtl::WideToSjis(std::wstring_view(text, static_cast<std::size_t>(length)));
}

// Copies text into a 256-byte buffer, as the message box receives it: at most 255 bytes.
std::string CutTo255(const std::string& text) {
  char buffer[256];
  std::size_t length = std::min<std::size_t>(text.size(), sizeof buffer - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return std::string(buffer);
}

}  // namespace

HMODULE ResourceModule() { return resourceModule ? resourceModule : GetModuleHandleW(nullptr); }
void SetResourceModule(HMODULE module) { resourceModule = module; }

std::string msgTitleFormat() { return LoadCatalogueText(IDS_TITLE_FORMAT); }
std::string resUpdateVersion() { return LoadCatalogueText(IDS_RES_UPDATE_VERSION); }
std::string regInstallDirKey() { return LoadCatalogueText(IDS_REG_INSTALL_DIR_KEY); }
std::string exeFileName() { return LoadCatalogueText(IDS_EXE_FILE_NAME); }
std::string defaultFolderName() { return LoadCatalogueText(IDS_DEFAULT_FOLDER_NAME); }
std::string msgNoUpdateNeeded() { return LoadCatalogueText(IDS_NO_UPDATE_NEEDED); }
std::string msgCannotUpdate() { return LoadCatalogueText(IDS_CANNOT_UPDATE); }
std::string resUpdateData() { return LoadCatalogueText(IDS_RES_UPDATE_DATA); }
std::string msgReadOnly() { return LoadCatalogueText(IDS_READ_ONLY); }
std::string msgUnexpectedError() { return LoadCatalogueText(IDS_UNEXPECTED_ERROR); }
std::string msgUpdateDone() { return LoadCatalogueText(IDS_UPDATE_DONE); }
std::string msgUpdateFailed() { return LoadCatalogueText(IDS_UPDATE_FAILED); }

int32_t UpdateMajor = 0;
int32_t UpdateMinorRelease = 0;

void ReadUpdateVersion() {
  rtl::TResourceStream stream(ResourceModule(), resUpdateVersion(), RT_RCDATA);
  uint16_t words[4];
  stream.ReadBuffer(words, sizeof words);
  UpdateMajor = words[0];
  UpdateMinorRelease = rtl::CheckedAdd(rtl::CheckedMul(words[1], 10), words[2]);
}

std::string FormatAppTitle() {
  return rtl::Format(msgTitleFormat().c_str(), UpdateMajor, UpdateMinorRelease / 10, UpdateMinorRelease % 10);
}

void ShowAppMessage(const std::string& text) {
  auto& application = framework::Application();
  application.MessageBox(CutTo255(text), CutTo255(application.Title()), MB_OK | MB_ICONEXCLAMATION);
}

void LoadButtonGlyph(framework::TBitBtn& button) {
  framework::TBitmap glyph;
  glyph.LoadFromResourceName(ResourceModule(), "ButtonPelano");
  button.SetGlyph(&glyph);
}

}  // namespace app
