#include "platform/com/dispatch.h"

namespace ORV::Com {

HRESULT CoerceArguments(std::span<const Variant> args, std::span<const VARTYPE> types, std::span<Variant> out) {
  if (args.size() != types.size() || out.size() != args.size()) return DISP_E_BADPARAMCOUNT;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (HRESULT hr = args[i].ChangeType(types[i], out[i]); Failed(hr)) return hr;
  }
  return S_OK;
}

}  // namespace ORV::Com
