#include "xlsx/xml_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>

#include "platform/os/file_io.h"
#include "platform/os/number_text.h"
#include "platform/os/text.h"
#include "platform/os/xml_escape.h"

namespace Xlsx {

namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kReplacementChar = "\xEF\xBF\xBD";  // U+FFFD

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// "_xHHHH_" at text[i]: readers of the package decode it as one character, so a
// literal one in element text must have its underscore escaped.
bool StartsEscapeSequence(std::string_view text, std::size_t i) {
  if (text.size() - i < 7 || text[i + 1] != 'x' || text[i + 6] != '_') return false;
  for (std::size_t k = 2; k < 6; ++k) {
    if (!IsHexDigit(text[i + k])) return false;
  }
  return true;
}

// A byte that needs no treatment: printable ASCII other than the five markup
// characters and the underscore.
bool IsPlainByte(unsigned char b) {
  return b >= 0x20 && b < 0x80 && b != '&' && b != '<' && b != '>' && b != '"' && b != '\'' && b != '_';
}

template <typename Int>
std::string_view IntText(char (&buf)[24], Int value) {
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return {buf, static_cast<std::size_t>(r.ptr - buf)};
}

}  // namespace

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return ORV::OS::FormatGeneral(value, 16);
}

XmlWriter::XmlWriter(const std::string& path) {
  if (!path.empty()) fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  opened_ = fd_ >= 0;
  if (!opened_) return;
  buffer_.reserve(kFlushThreshold + 4096);
  Put(kDeclaration);
}

XmlWriter::~XmlWriter() { Close(); }

void XmlWriter::Flush() {
  if (fd_ < 0 || failed_) {
    buffer_.clear();
    return;
  }
  // A short write (disk full, I/O error) leaves the part incomplete.
  if (ORV::OS::WriteAll(fd_, buffer_.data(), buffer_.size()) != buffer_.size()) failed_ = true;
  written_ += buffer_.size();
  buffer_.clear();
}

bool XmlWriter::Patch(std::uint64_t offset, std::string_view bytes) {
  if (fd_ < 0 || failed_ || closed_ || offset + bytes.size() > Position()) return false;
  Flush();
  std::size_t done = 0;
  while (!failed_ && done < bytes.size()) {
    const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      failed_ = true;
    }
  }
  return !failed_;
}

void XmlWriter::PutEscaped(std::string_view text, bool elementText) {
  if (fd_ < 0) return;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t run = i;
    while (run < text.size() && IsPlainByte(static_cast<unsigned char>(text[run]))) ++run;
    if (run > i) {
      Put(text.substr(i, run - i));
      i = run;
      if (i == text.size()) break;
    }
    const auto b = static_cast<unsigned char>(text[i]);
    if (const std::string_view entity = ORV::OS::XmlEntity(text[i]); !entity.empty()) {
      Put(entity);
      ++i;
      continue;
    }
    switch (b) {
      case '_':
        Put(elementText && StartsEscapeSequence(text, i) ? std::string_view("_x005F_") : std::string_view("_"));
        ++i;
        continue;
      case '\t':
      case '\n':
      case '\r':
        Put(static_cast<char>(b));
        ++i;
        continue;
      default:
        break;
    }
    if (b < 0x20) {
      // Not allowed in XML at all, not even as a character reference.
      if (elementText) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        const char escaped[] = {'_', 'x', '0', '0', kHex[b >> 4], kHex[b & 0xF], '_'};
        Put(std::string_view(escaped, sizeof escaped));
      }
      ++i;
      continue;
    }
    // A multi-byte sequence: copied when it is valid UTF-8 of a character XML
    // allows, else replaced.
    const std::size_t start = i;
    const char32_t cp = ORV::OS::DecodeUtf8(text, i);
    if (cp == 0xFFFD || cp == 0xFFFE || cp == 0xFFFF)
      Put(kReplacementChar);
    else
      Put(text.substr(start, i - start));
  }
}

void XmlWriter::CloseStartTag() {
  if (startTagOpen_) {
    Put('>');
    startTagOpen_ = false;
  }
}

void XmlWriter::Tag(std::string_view name) {
  CloseStartTag();
  Put('<');
  Put(name);
  startTagOpen_ = true;
  empty_ = true;
  open_.emplace_back(name);
}

void XmlWriter::AttrRaw(std::string_view name, std::string_view text) {
  Put(' ');
  Put(name);
  Put("=\"");
  Put(text);
  Put('"');
}

void XmlWriter::Attr(std::string_view name, std::int32_t value) {
  char buf[24];
  AttrRaw(name, IntText(buf, value));
}

void XmlWriter::Attr(std::string_view name, std::uint32_t value) {
  char buf[24];
  AttrRaw(name, IntText(buf, value));
}

void XmlWriter::Attr(std::string_view name, std::uint64_t value) {
  char buf[24];
  AttrRaw(name, IntText(buf, value));
}

void XmlWriter::Attr(std::string_view name, double value) { AttrRaw(name, FormatDouble(value)); }

void XmlWriter::Attr(std::string_view name, float value) { Attr(name, static_cast<double>(value)); }

void XmlWriter::Attr(std::string_view name, std::string_view text) {
  Put(' ');
  Put(name);
  Put("=\"");
  PutEscaped(text, false);
  Put('"');
}

void XmlWriter::End() {
  if (open_.empty()) return;
  if (empty_) {
    Put("/>");
  } else {
    CloseStartTag();
    Put("</");
    Put(open_.back());
    Put('>');
  }
  open_.pop_back();
  startTagOpen_ = false;
  empty_ = false;
}

void XmlWriter::PutContentElement(std::string_view name, std::string_view text, bool escape) {
  CloseStartTag();
  Put('<');
  Put(name);
  Put('>');
  if (escape)
    PutEscaped(text, true);
  else
    Put(text);
  Put("</");
  Put(name);
  Put('>');
  empty_ = false;
}

void XmlWriter::TagOnlyContentRaw(std::string_view name, std::string_view text) {
  PutContentElement(name, text, false);
}

void XmlWriter::TagOnlyContent(std::string_view name, std::uint64_t value) {
  char buf[24];
  TagOnlyContentRaw(name, IntText(buf, value));
}

void XmlWriter::TagOnlyContent(std::string_view name, std::string_view text) { PutContentElement(name, text, true); }

void XmlWriter::Content(std::string_view text) {
  CloseStartTag();
  PutEscaped(text, true);
  empty_ = false;
}

void XmlWriter::BeginLeaf(std::string_view name) {
  CloseStartTag();
  Put('<');
  Put(name);
  startTagOpen_ = true;
  empty_ = false;
}

void XmlWriter::EndLeaf() {
  Put("/>");
  startTagOpen_ = false;
}

bool XmlWriter::Close() {
  if (!closed_) {
    while (!open_.empty()) End();
    Flush();
    if (fd_ >= 0 && ::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    closed_ = true;
  }
  return opened_ && !failed_;
}

void OpenTag(XmlWriter& writer, std::string_view name, std::initializer_list<RawAttribute> attributes) {
  writer.Tag(name);
  for (const auto& [key, value] : attributes) writer.AttrRaw(key, value);
}

void WriteLeaf(XmlWriter& writer, std::string_view name, std::initializer_list<RawAttribute> attributes) {
  writer.BeginLeaf(name);
  for (const auto& [key, value] : attributes) writer.AttrRaw(key, value);
  writer.EndLeaf();
}

}  // namespace Xlsx
