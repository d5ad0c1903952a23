#include "platform/com/dispatch.h"

namespace ORV::Com {

HRESULT CoerceArguments(std::span<const Variant> args, std::span<const VARTYPE> types, std::vector<Variant>& out) {
  if (args.size() != types.size()) return DISP_E_BADPARAMCOUNT;
  std::vector<Variant> converted(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (HRESULT hr = args[i].ChangeType(types[i], converted[i]); Failed(hr)) return hr;
  }
  out = std::move(converted);
  return S_OK;
}

}  // namespace ORV::Com
