#include "framework/LayoutParser.h"

#include <cstring>

#include "framework/ClassInfo.h"
#include "framework/Errors.h"
#include "rtl/Sjis.h"

namespace framework {

namespace {

constexpr int kMaxDepth = 32;

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class TParser {
 public:
  TParser(std::string_view text, std::string_view name) : text_(text), name_(name) {
    if (text_.size() >= 3 && std::memcmp(text_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }

  TLayoutNode ParseRoot() {
    SkipSpace();
    TLayoutNode root = ParseNode(0);
    SkipSpace();
    if (pos_ < text_.size()) Fail();
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& detail) const { throw ELayoutError(name_, line_, detail); }
  [[noreturn]] void Fail() const { Fail(ELayoutError::Syntax()); }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipSpace() {
    while (!AtEnd()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++pos_;
    }
  }

  void Expect(char c) {
    SkipSpace();
    if (Peek() != c) Fail();
    ++pos_;
  }

  // An identifier, possibly dotted (ImageLoader.ResName).
  std::string Identifier(bool dotted) {
    SkipSpace();
    if (!IsIdentStart(Peek())) Fail();
    std::size_t start = pos_;
    while (!AtEnd()) {
      char c = text_[pos_];
      if (IsIdentStart(c) || IsDigit(c)) {
        ++pos_;
      } else if (dotted && c == '.' && pos_ + 1 < text_.size() && IsIdentStart(text_[pos_ + 1])) {
        ++pos_;
      } else {
        break;
      }
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  TLayoutNode ParseNode(int depth) {
    if (depth >= kMaxDepth) Fail(ELayoutError::TooDeep());
    SkipSpace();
    TLayoutNode node;
    node.Line = line_;
    if (!SameText(Identifier(false), "object")) Fail();
    node.Name = Identifier(false);
    Expect(':');
    node.ClassName = Identifier(false);
    for (;;) {
      SkipSpace();
      if (AtEnd()) Fail();
      std::size_t mark = pos_;
      int markLine = line_;
      std::string word = Identifier(true);
      if (SameText(word, "end")) return node;
      if (SameText(word, "object")) {
        pos_ = mark;
        line_ = markLine;
        node.Children.push_back(ParseNode(depth + 1));
        continue;
      }
      TLayoutProperty property;
      property.Path = std::move(word);
      property.Line = line_;
      Expect('=');
      property.Value = ParseValue();
      node.Properties.push_back(std::move(property));
    }
  }

  TLayoutValue ParseValue() {
    SkipSpace();
    TLayoutValue value;
    char c = Peek();
    if (c == '\'' || c == '#') {
      value.Kind = TLayoutValue::TKind::String;
      value.Text = rtl::Utf8ToSjis(ParseString());
    } else if (c == '-' || c == '$' || IsDigit(c)) {
      value.Kind = TLayoutValue::TKind::Integer;
      value.Integer = ParseInteger();
    } else if (c == '[') {
      value.Kind = TLayoutValue::TKind::Set;
      ++pos_;
      SkipSpace();
      if (Peek() == ']') {
        ++pos_;
        return value;
      }
      for (;;) {
        value.Items.push_back(Identifier(false));
        SkipSpace();
        if (Peek() == ']') {
          ++pos_;
          return value;
        }
        Expect(',');
      }
    } else if (c == '{') {
      value.Kind = TLayoutValue::TKind::Binary;
      ++pos_;
      int high = -1;
      for (;;) {
        SkipSpace();
        if (AtEnd()) Fail();
        char h = text_[pos_++];
        if (h == '}') break;
        int digit = HexDigit(h);
        if (digit < 0) Fail();
        if (high < 0) {
          high = digit;
        } else {
          value.Bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
          high = -1;
        }
      }
      if (high >= 0) Fail();  // an odd number of digits
    } else if (IsIdentStart(c)) {
      value.Kind = TLayoutValue::TKind::Ident;
      value.Text = Identifier(false);
    } else {
      Fail();
    }
    return value;
  }

  int32_t ParseInteger() {
    bool negative = false;
    if (Peek() == '-') {
      negative = true;
      ++pos_;
    }
    int64_t magnitude = 0;
    bool any = false;
    if (Peek() == '$') {
      ++pos_;
      while (!AtEnd() && HexDigit(text_[pos_]) >= 0) {
        magnitude = magnitude * 16 + HexDigit(text_[pos_++]);
        if (magnitude > 0xFFFFFFFFLL) Fail();
        any = true;
      }
      // $80000000 and above are the bit patterns of negative numbers, as colours are written.
      if (magnitude > 0x7FFFFFFF) magnitude -= 0x100000000LL;
    } else {
      while (!AtEnd() && IsDigit(text_[pos_])) {
        magnitude = magnitude * 10 + (text_[pos_++] - '0');
        if (magnitude > 0x80000000LL) Fail();
        any = true;
      }
    }
    if (!any || IsIdentStart(Peek())) Fail();
    int64_t v = negative ? -magnitude : magnitude;
    if (v < INT32_MIN || v > INT32_MAX) Fail();
    return static_cast<int32_t>(v);
  }

  // Quoted pieces and #n characters, optionally joined by "+" across lines.
  std::string ParseString() {
    std::string utf8;
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (AtEnd() || text_[pos_] == '\n' || text_[pos_] == '\r') Fail();
          char d = text_[pos_++];
          if (d == '\'') {
            if (Peek() != '\'') break;
            ++pos_;
          }
          utf8 += d;
        }
      } else if (c == '#') {
        ++pos_;
        uint32_t code = 0;
        bool any = false;
        while (!AtEnd() && IsDigit(text_[pos_])) {
          code = code * 10 + static_cast<uint32_t>(text_[pos_++] - '0');
          if (code > 0x10FFFF) Fail();
          any = true;
        }
        if (!any || (code >= 0xD800 && code <= 0xDFFF)) Fail();
        AppendUtf8(utf8, code);
      } else {
        std::size_t mark = pos_;
        int markLine = line_;
        SkipSpace();
        if (Peek() == '+') {
          ++pos_;
          SkipSpace();
          if (Peek() == '\'' || Peek() == '#') continue;
          Fail();
        }
        pos_ = mark;
        line_ = markLine;
        return utf8;
      }
    }
  }

  std::string_view text_;
  std::string name_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

TLayoutNode ParseLayout(std::string_view utf8, std::string_view layoutName) {
  return TParser(utf8, layoutName).ParseRoot();
}

}  // namespace framework
