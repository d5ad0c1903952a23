#include "platform/com/drag_data.h"

#include <algorithm>
#include <new>

namespace ORV::Com {

HRESULT DragDataObject::SetData(std::string format, std::string bytes) {
  if (format.empty()) return E_INVALIDARG;
  try {
    entries_.emplace_back(std::move(format), std::move(bytes));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT DragDataObject::GetData(std::string_view format, std::string* out) const {
  if (!out) return E_INVALIDARG;
  for (const auto& [f, bytes] : entries_) {
    if (f == format) {
      *out = bytes;
      return S_OK;
    }
  }
  return DV_E_FORMATETC;
}

HRESULT DragDataObject::QueryGetData(std::string_view format) const {
  if (entries_.empty()) return DV_E_FORMATETC;
  const bool found = std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == format; });
  return found ? S_OK : DV_E_CLIPFORMAT;
}

std::vector<std::string> DragDataObject::EnumFormats() const {
  std::vector<std::string> formats;
  for (const auto& e : entries_)
    if (std::find(formats.begin(), formats.end(), e.first) == formats.end()) formats.push_back(e.first);
  return formats;
}

}  // namespace ORV::Com
