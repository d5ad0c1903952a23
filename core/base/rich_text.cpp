#include "core/base/rich_text.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "platform/os/xml_escape.h"

namespace ORV {

namespace {

// Windows-1252's characters 0x80-0x9F; the rest of the page is Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The entity of a character the HTML may not hold as it is. An apostrophe
// needs none in element text and stays as it is.
std::string_view HtmlEntity(std::uint32_t cp) {
  if (cp >= 0x80 || cp == '\'') return {};
  return OS::XmlEntity(static_cast<char>(cp));
}

struct Format {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool skip = false;           // inside a destination that is not shown
  const char* size = nullptr;  // a CSS font size other than the text's own
  int unicodeSkip = 1;
  bool operator==(const Format&) const = default;
};

class Converter {
 public:
  std::string Run(std::string_view rtf) {
    std::vector<Format> stack;
    Format f;
    std::size_t i = 0;
    int skipped = 0;  // characters still to drop after a \uN
    while (i < rtf.size()) {
      const char c = rtf[i];
      if (c == '{') {
        ++i;
        if (stack.size() < static_cast<std::size_t>(kMaxRtfDepth)) stack.push_back(f);
        skipped = 0;
      } else if (c == '}') {
        ++i;
        if (!stack.empty()) {
          f = stack.back();
          stack.pop_back();
        }
        skipped = 0;
      } else if (c == '\\') {
        i = ControlWord(rtf, i + 1, f, skipped);
      } else if (c == '\r' || c == '\n') {
        ++i;
      } else {
        ++i;
        if (skipped > 0) {
          --skipped;
        } else if (!f.skip) {
          Text(f, static_cast<unsigned char>(c), true);
        }
      }
    }
    EndParagraph(true);
    return out_;
  }

 private:
  std::size_t ControlWord(std::string_view rtf, std::size_t i, Format& f, int& skipped) {
    if (i >= rtf.size()) return i;
    const char c = rtf[i];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++i;
      if (c == '\'') {
        int value = 0;
        int digits = 0;
        while (digits < 2 && i < rtf.size() && std::isxdigit(static_cast<unsigned char>(rtf[i]))) {
          const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(rtf[i])));
          value = value * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
          ++i;
          ++digits;
        }
        if (skipped > 0) {
          --skipped;
        } else if (!f.skip && digits > 0) {
          Text(f, value >= 0x80 && value < 0xA0 ? kCp1252High[value - 0x80] : static_cast<std::uint32_t>(value));
        }
      } else if (c == '*') {
        f.skip = true;
      } else if (c == '\\' || c == '{' || c == '}') {
        if (skipped > 0) {
          --skipped;
        } else if (!f.skip) {
          Text(f, static_cast<unsigned char>(c));
        }
      } else if (c == '~') {
        if (!f.skip) Text(f, 0xA0);
      }
      return i;
    }
    const std::size_t start = i;
    while (i < rtf.size() && i - start < 32 && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;
    const std::string_view word = rtf.substr(start, i - start);
    while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;  // over-long words
    bool hasParam = false;
    bool negative = false;
    long param = 0;
    if (i < rtf.size() && rtf[i] == '-') {
      negative = true;
      ++i;
    }
    int digits = 0;
    while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i]))) {
      if (digits < 9) param = param * 10 + (rtf[i] - '0');
      ++digits;
      ++i;
      hasParam = true;
    }
    if (negative) param = -param;
    if (i < rtf.size() && rtf[i] == ' ') ++i;

    const bool on = !hasParam || param != 0;
    if (word == "par" || word == "line") {
      if (!f.skip) EndParagraph(false);
    } else if (word == "b") {
      f.bold = on;
    } else if (word == "i") {
      f.italic = on;
    } else if (word == "ul") {
      f.underline = on;
    } else if (word == "ulnone") {
      f.underline = false;
    } else if (word == "plain") {
      f.bold = f.italic = f.underline = false;
    } else if (word == "pard") {
      if (!f.skip) align_ = nullptr;
    } else if (word == "qc" || word == "qr" || word == "qj" || word == "ql") {
      if (!f.skip) align_ = word == "qc" ? "center" : word == "qr" ? "right" : word == "qj" ? "justify" : nullptr;
    } else if (word == "fs" && hasParam && param > 0) {
      if (baseSize_ == 0) baseSize_ = param;
      f.size = SizeName(param);
    } else if (word == "bullet") {
      if (!f.skip) Text(f, 0x2022);
    } else if (word == "tab") {
      if (!f.skip) Text(f, ' ');
    } else if (word == "uc") {
      f.unicodeSkip = hasParam && param >= 0 && param < 10 ? static_cast<int>(param) : 1;
    } else if (word == "u" && hasParam) {
      if (!f.skip) Text(f, static_cast<std::uint32_t>(param < 0 ? param + 65536 : param) & 0xFFFF);
      skipped = f.unicodeSkip;
    } else if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" ||
               word == "header" || word == "footer" || word == "object") {
      f.skip = true;
    }
    return i;
  }

  // `raw`: a byte of the text itself, taken as UTF-8 and passed on as it is.
  void Text(const Format& f, std::uint32_t cp, bool raw = false) {
    if (!open_ || !(shown_ == f)) {
      CloseSpans();
      if (f.size) paragraph_ += std::string("<span style=\"font-size:") + f.size + "\">";
      if (f.bold) paragraph_ += "<b>";
      if (f.italic) paragraph_ += "<i>";
      if (f.underline) paragraph_ += "<u>";
      shown_ = f;
      open_ = true;
    }
    if (const std::string_view entity = HtmlEntity(cp); !entity.empty()) {
      paragraph_ += entity;
    } else if (raw && cp >= 0x80) {
      paragraph_ += static_cast<char>(cp);
    } else {
      AppendUtf8(paragraph_, cp < 0x20 ? 0xFFFD : cp);
    }
  }

  void CloseSpans() {
    if (!open_) return;
    if (shown_.underline) paragraph_ += "</u>";
    if (shown_.italic) paragraph_ += "</i>";
    if (shown_.bold) paragraph_ += "</b>";
    if (shown_.size) paragraph_ += "</span>";
    open_ = false;
  }

  void EndParagraph(bool atEnd) {
    CloseSpans();
    if (atEnd && paragraph_.empty()) return;
    out_ += align_ ? std::string("<p align=\"") + align_ + "\">" : std::string("<p>");
    out_ += paragraph_;
    out_ += "</p>";
    paragraph_.clear();
  }

  // The size of `halfPoints` relative to the text's own size.
  const char* SizeName(long halfPoints) const {
    if (halfPoints * 10 >= baseSize_ * 13) return "x-large";
    if (halfPoints * 10 >= baseSize_ * 11) return "large";
    if (halfPoints * 10 <= baseSize_ * 9) return "small";
    return nullptr;
  }

  std::string out_;
  std::string paragraph_;
  long baseSize_ = 0;
  const char* align_ = nullptr;
  Format shown_;
  bool open_ = false;
};

std::string PlainToHtml(std::string_view text) {
  std::string out = "<p>";
  for (const char c : text) {
    if (const std::string_view entity = HtmlEntity(static_cast<unsigned char>(c)); !entity.empty())
      out += entity;
    else if (c == '\n')
      out += "<br>";
    else if (c != '\r')
      out += c;
  }
  return out + "</p>";
}

}  // namespace

std::string RtfToHtml(std::string_view rtf) {
  if (rtf.substr(0, 5) != "{\\rtf") return PlainToHtml(rtf);
  return Converter().Run(rtf);
}

std::string RtfEscape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\' || c == '{' || c == '}') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace ORV
