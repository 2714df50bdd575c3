// The message catalogue, the update version and the one way the updater shows a message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace framework {
class TBitBtn;
}

namespace app {

// The module whose resources hold the catalogue and the version record: the program itself,
// unless a test points elsewhere.
HMODULE ResourceModule();
void SetResourceModule(HMODULE module);

// Catalogue entries, loaded as CP932 strings at each use.
std::string msgTitleFormat();
std::string resUpdateVersion();
std::string regInstallDirKey();
std::string exeFileName();
std::string defaultFolderName();
std::string msgNoUpdateNeeded();
std::string msgCannotUpdate();
std::string resUpdateData();
std::string msgReadOnly();
std::string msgUnexpectedError();
std::string msgUpdateDone();
std::string msgUpdateFailed();

// The update version, read once from UPDATEVERSION.
extern int32_t UpdateMajor;
extern int32_t UpdateMinorRelease;  // minor * 10 + release

// Sets UpdateMajor and UpdateMinorRelease from the record; raises EResNotFound when it is
// missing and EReadError when it is shorter than 8 bytes.
void ReadUpdateVersion();

// msgTitleFormat filled with the update version: "ぺらの5.16アップデーター" for the shipped record.
std::string FormatAppTitle();

// A modal message box with the application title as caption, the exclamation icon and OK; text
// and title are cut to 255 bytes.
void ShowAppMessage(const std::string& text);

// Puts the bitmap "ButtonPelano" of ResourceModule() on button as its glyph, replacing the one it
// had; raises EResNotFound when the module has no such bitmap (the button keeps its glyph).
void LoadButtonGlyph(framework::TBitBtn& button);

}  // namespace app
