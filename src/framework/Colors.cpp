#include "framework/Colors.h"

namespace framework {

namespace {

std::vector<TIdent> MakeColorIdents() {
  return {{"clBlack", clBlack},           {"clMaroon", clMaroon},
          {"clGreen", clGreen},           {"clOlive", clOlive},
          {"clNavy", clNavy},             {"clPurple", clPurple},
          {"clTeal", clTeal},             {"clGray", clGray},
          {"clSilver", clSilver},         {"clRed", clRed},
          {"clLime", clLime},             {"clYellow", clYellow},
          {"clBlue", clBlue},             {"clFuchsia", clFuchsia},
          {"clAqua", clAqua},             {"clWhite", clWhite},
          {"clWindow", clWindow},         {"clWindowText", clWindowText},
          {"clHighlight", clHighlight},   {"clHighlightText", clHighlightText},
          {"clBtnFace", clBtnFace},       {"clBtnShadow", clBtnShadow},
          {"clGrayText", clGrayText},     {"clBtnText", clBtnText},
          {"clBtnHighlight", clBtnHighlight}, {"cl3DDkShadow", cl3DDkShadow},
          {"cl3DLight", cl3DLight},       {"clNone", clNone},
          {"clDefault", clDefault}};
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

const std::vector<TIdent>& ColorIdents() {
  static const std::vector<TIdent> idents = MakeColorIdents();
  return idents;
}

}  // namespace framework
