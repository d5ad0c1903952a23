#pragma once
// The data a drag-out or the clipboard offers: a list of formats, each named
// by its MIME type ("image/png", "text/plain", "text/uri-list"), with its
// bytes, asked for by format as a drop target asks. Qt carries it
// (platform/ui/drag_mime_data.h); this part has no Qt, so what a drop target
// sees is tested without a window.
//
//   auto data = std::make_shared<DragDataObject>();
//   data->SetData("text/plain", text);
//   std::string bytes;
//   if (data->GetData("text/plain", &bytes) == S_OK) ...
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/hresult.h"

namespace ORV::Com {

// No stored entry has the asked format.
inline constexpr HRESULT DV_E_FORMATETC = MakeHResult(0x80040064);
// Entries are stored, but none in the asked format.
inline constexpr HRESULT DV_E_CLIPFORMAT = MakeHResult(0x8004006A);

class DragDataObject {
 public:
  // Appends an entry; an earlier entry of the same format keeps answering
  // first. E_INVALIDARG for an empty format, E_OUTOFMEMORY (nothing stored)
  // when memory runs out.
  HRESULT SetData(std::string format, std::string bytes);
  // The bytes of the first entry of `format`: S_OK; E_INVALIDARG for a null
  // output; DV_E_FORMATETC when no entry has that format.
  HRESULT GetData(std::string_view format, std::string* out) const;
  // S_OK when an entry of `format` is stored; DV_E_CLIPFORMAT when only
  // other formats are; DV_E_FORMATETC when nothing is stored.
  HRESULT QueryGetData(std::string_view format) const;
  // The stored formats in order, each once.
  std::vector<std::string> EnumFormats() const;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace ORV::Com
