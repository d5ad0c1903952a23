#pragma once
// Streaming writer of one XML part file.
//
// Elements are written in final order straight into the file; the writer keeps
// only the names of the open elements. An element closes with "/>" when
// nothing was written inside it. Whatever bytes a caller passes, the output is
// well-formed XML: the five markup characters are escaped, malformed UTF-8
// (and code points XML does not allow) become U+FFFD, and control characters
// that XML forbids are written as "_xHHHH_" in element text (the package
// format's escape for them) and left out of attribute values. Numbers never
// depend on the user's locale.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Xlsx {

// A double as printf("%.16g") writes it in the "C" locale ("0.25", "15",
// "1e+20"); values that are not finite give the XML Schema forms "INF",
// "-INF" and "NaN".
std::string FormatDouble(double value);

class XmlWriter {
 public:
  // Opens (creates or truncates) the file and writes the XML declaration and
  // one line feed. When the file cannot be opened, IsOpen() is false and
  // everything written later is discarded.
  explicit XmlWriter(const std::string& path);
  // Closes every element still open, innermost first, then the file.
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // True when the file was opened.
  bool IsOpen() const { return opened_; }

  // Opens an element; attributes may follow until something is written inside it.
  void Tag(std::string_view name);

  void Attr(std::string_view name, std::int32_t value);
  void Attr(std::string_view name, std::uint32_t value);
  void Attr(std::string_view name, std::uint64_t value);
  void Attr(std::string_view name, double value);
  // Widened to double, so the text shows the float's stored value to 16 digits.
  void Attr(std::string_view name, float value);
  void Attr(std::string_view name, std::string_view text);  // escaped
  void Attr(std::string_view name, const char* text) { Attr(name, std::string_view(text)); }
  void Attr(std::string_view name, const std::string& text) { Attr(name, std::string_view(text)); }
  // The text unchanged: only for fixed vocabulary without markup characters.
  void AttrRaw(std::string_view name, std::string_view text);

  // Closes the innermost open element.
  void End();

  // A complete child element <name>value</name> without attributes.
  void TagOnlyContent(std::string_view name, std::uint64_t value);
  void TagOnlyContent(std::string_view name, std::string_view text);  // escaped
  void TagOnlyContent(std::string_view name, const char* text) { TagOnlyContent(name, std::string_view(text)); }
  void TagOnlyContent(std::string_view name, const std::string& text) { TagOnlyContent(name, std::string_view(text)); }
  void TagOnlyContentRaw(std::string_view name, std::string_view text);

  // Escaped text inside the current element.
  void Content(std::string_view text);

  // A childless element written without the element stack: BeginLeaf, any
  // Attr calls, EndLeaf.
  void BeginLeaf(std::string_view name);
  void EndLeaf();

  // Closes every open element and the file. True only when the file was
  // opened and every byte of the part reached it; later calls return the
  // same result and write nothing.
  bool Close();

  // The number of bytes written so far, the declaration included.
  std::uint64_t Position() const { return written_ + buffer_.size(); }
  // Writes `bytes` over what was written at `offset` (a place reserved
  // earlier); the part keeps its length. False when the bytes do not lie
  // within what was written, the file is closed or a write failed.
  bool Patch(std::uint64_t offset, std::string_view bytes);

 private:
  // Inline: a cell's markup is written in a dozen small pieces.
  void Put(std::string_view bytes) {
    if (fd_ < 0) return;
    buffer_.append(bytes);
    if (buffer_.size() >= kFlushThreshold) Flush();
  }
  void Put(char c) {
    if (fd_ < 0) return;
    buffer_.push_back(c);
    if (buffer_.size() >= kFlushThreshold) Flush();
  }
  void PutEscaped(std::string_view text, bool elementText);
  void PutContentElement(std::string_view name, std::string_view text, bool escape);
  void CloseStartTag();
  void Flush();

  // The buffer is handed to the file whenever it grows beyond this size.
  static constexpr std::size_t kFlushThreshold = 64 * 1024;

  int fd_ = -1;
  bool opened_ = false;
  bool failed_ = false;
  bool closed_ = false;
  bool startTagOpen_ = false;
  bool empty_ = true;
  std::vector<std::string> open_;
  std::string buffer_;
  std::uint64_t written_ = 0;  // bytes that reached the file
};

// A name and a fixed value of fixed vocabulary, written unescaped.
using RawAttribute = std::pair<std::string_view, std::string_view>;

// Opens an element with fixed attributes.
void OpenTag(XmlWriter& writer, std::string_view name, std::initializer_list<RawAttribute> attributes = {});
// A childless element with fixed attributes.
void WriteLeaf(XmlWriter& writer, std::string_view name, std::initializer_list<RawAttribute> attributes = {});

}  // namespace Xlsx
