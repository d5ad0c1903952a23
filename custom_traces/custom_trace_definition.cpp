#include "custom_traces/custom_trace_definition.h"

#include <botan/base64.h>
#include <botan/exceptn.h>
#include <botan/hash.h>
#include <botan/hex.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <pugixml.hpp>
#include <random>

#include "platform/os/folders.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

namespace {

std::string_view FieldText(const char (&field)[CustomTraceConstant::kTextSize]) {
  return std::string_view(field, strnlen(field, CustomTraceConstant::kTextSize - 1));
}

bool SetField(char (&field)[CustomTraceConstant::kTextSize], std::string_view value) {
  if (value.size() >= CustomTraceConstant::kTextSize || value.find('\0') != std::string_view::npos) return false;
  std::memset(field, 0, sizeof field);
  std::memcpy(field, value.data(), value.size());
  return true;
}

// A 32-bit signed decimal, read like atoi and clamped to the range; empty
// text gives the default.
std::int32_t ReadInt32(const char* text, std::int32_t fallback) {
  if (text == nullptr || *text == '\0') return fallback;
  const long long v = OS::LeadingInt(text);
  return static_cast<std::int32_t>(
      std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ChildInt(pugi::xml_node parent, const char* name, std::int32_t fallback) {
  return ReadInt32(parent.child(name).text().get(), fallback);
}

bool ChildBool(pugi::xml_node parent, const char* name, bool fallback) {
  return parent.child(name).text().as_bool(fallback);
}

std::int32_t ConstantType(std::string_view text) {
  const auto number = OS::ParseInt(text);
  if (text == "integer" || (number && *number == CustomTraceConstant::kInteger)) return CustomTraceConstant::kInteger;
  if (text == "string" || (number && *number == CustomTraceConstant::kString)) return CustomTraceConstant::kString;
  return CustomTraceConstant::kUnknown;
}

// Standard Base64 with padding; white space is ignored, but a text whose
// length is not a whole number of 4-character groups (a cut-off file) is
// refused rather than decoded with made-up padding.
bool DecodeBase64(std::string_view text, std::string& out) {
  const auto significant =
      std::count_if(text.begin(), text.end(), [](char c) { return c != ' ' && c != '\t' && c != '\n' && c != '\r'; });
  if (significant % 4 != 0) return false;
  out.assign(Botan::base64_decode_max_output(text.size()), '\0');
  try {
    const std::size_t n =
        Botan::base64_decode(reinterpret_cast<std::uint8_t*>(out.data()), text.data(), text.size(), true);
    out.resize(n);
    return true;
  } catch (const Botan::Exception&) {
    out.clear();
    return false;
  }
}

bool ReadConstants(pugi::xml_node constants, std::vector<CustomTraceConstant>& out, std::string& error) {
  for (pugi::xml_node node : constants.children("Constant")) {
    if (out.size() == kMaxConstants) {
      error = "more than " + OS::FormatInt(kMaxConstants) + " constants";
      return false;
    }
    CustomTraceConstant c;
    const std::string_view name = node.attribute("name").value();
    if (!c.SetName(name)) {
      error = "the constant name \"" + std::string(name.substr(0, 60)) + "\" is longer than 49 bytes";
      return false;
    }
    c.type = ConstantType(node.attribute("type").value());
    const char* value = node.attribute("value").value();
    if (c.type == CustomTraceConstant::kString) {
      if (!c.SetText(value)) {
        error = "the text of the constant \"" + std::string(name) + "\" is longer than 49 bytes";
        return false;
      }
    } else {
      c.integer = ReadInt32(value, 0);
    }
    out.push_back(c);
  }
  return true;
}

struct StringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

void AddText(pugi::xml_node parent, const char* name, std::string_view value) {
  parent.append_child(name).text().set(std::string(value).c_str());
}

}  // namespace

std::string_view CustomTraceConstant::Name() const { return FieldText(name); }
std::string_view CustomTraceConstant::Text() const { return FieldText(text); }
bool CustomTraceConstant::SetName(std::string_view value) { return SetField(name, value); }
bool CustomTraceConstant::SetText(std::string_view value) { return SetField(text, value); }

std::string ScriptSha256Hex(const CustomTraces& trace) {
  auto hash = Botan::HashFunction::create_or_throw("SHA-256");
  hash->update(reinterpret_cast<const std::uint8_t*>(trace.Id.data()), trace.Id.size());
  hash->update(reinterpret_cast<const std::uint8_t*>(trace.Code.data()), trace.Code.size());
  const auto digest = hash->final();
  return Botan::hex_encode(digest.data(), digest.size(), true);
}

bool ParseCustomTraceXml(std::string_view xml, CustomTraces& trace, std::string& error) {
  if (xml.size() > kMaxDefinitionFileBytes) {
    error = "the file is larger than " + OS::FormatInt(kMaxDefinitionFileBytes >> 20) + " MiB";
    return false;
  }
  pugi::xml_document doc;
  // Keep a text that is only white space (a name of blanks) when it is the
  // element's only content; indentation between elements is still dropped.
  const pugi::xml_parse_result parsed =
      doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto);
  if (!parsed) {
    error = std::string("the XML is not well-formed (") + parsed.description() + " at byte " +
            OS::FormatInt(parsed.offset) + ")";
    return false;
  }
  const pugi::xml_node root = doc.child("Trace");
  if (!root) {
    error = "the file is not a custom-trace definition (no \"Trace\" element)";
    return false;
  }

  CustomTraces read;
  if (!ReadConstants(root.child("Constants"), read.Constants, error)) return false;
  if (!DecodeBase64(root.child("Script").child("Code").text().get(), read.Code)) {
    error = "the script code is not valid Base64";
    return false;
  }
  read.Id = root.child("Id").text().get();
  read.Name = root.child("Name").text().get();
  read.CreationDate = root.child("CreationDate").text().get();
  const pugi::xml_node config = root.child("Config");
  read.UnitType = ChildInt(config, "UnitType", 0);
  read.UnitTypeString = config.child("UnitTypeString").text().get();
  read.ScriptType = ChildInt(config, "ScriptType", 0);
  read.MinimumLimit = ChildInt(config, "MinimumLimit", 0);
  read.MaximumLimit = ChildInt(config, "MaximumLimit", 100);
  read.HorizontalLabels = ChildInt(config, "HorizontalLabels", 10);
  read.VerticalLabels = ChildInt(config, "VerticalLabels", 5);
  read.ShowUnit = ChildBool(config, "ShowUnit", true);
  read.AutoRange = ChildBool(config, "AutoRange", false);
  read.Stored = true;
  read.FileName = std::move(trace.FileName);
  trace = std::move(read);
  return true;
}

std::shared_ptr<CustomTraces> ReadCustomTraceXml(const std::string& path, std::string* error) {
  auto trace = std::make_shared<CustomTraces>();
  trace->FileName = path;
  std::string why;
  std::string text;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    why = "the file does not exist or is not a regular file";
  } else if (!OS::ReadFile(path, text, kMaxDefinitionFileBytes)) {
    why = "the file cannot be read or is larger than " + OS::FormatInt(kMaxDefinitionFileBytes >> 20) + " MiB";
  } else {
    ParseCustomTraceXml(text, *trace, why);
  }
  if (error != nullptr) *error = why;
  return trace;
}

std::string NewCustomTraceId() {
  std::random_device device;
  std::uint8_t b[16];
  for (std::size_t i = 0; i < sizeof b; i += 4) {
    const std::uint32_t r = device();
    std::memcpy(b + i, &r, 4);
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4: random
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // the standard variant
  char text[37];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

std::string FormatCreationDate(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return {};
  char text[64];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  return std::string(text, n);
}

std::string FormatCustomTraceXml(const CustomTraces& trace) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Trace");
  root.append_attribute("version") = 1;
  root.append_child("Type");
  AddText(root, "Id", trace.Id);
  AddText(root, "Name", trace.Name);
  AddText(root, "CreationDate", trace.CreationDate);
  pugi::xml_node constants = root.append_child("Constants");
  for (const CustomTraceConstant& c : trace.Constants) {
    pugi::xml_node node = constants.append_child("Constant");
    node.append_attribute("name") = std::string(c.Name()).c_str();
    node.append_attribute("type") = OS::FormatInt(c.type).c_str();
    node.append_attribute("value") =
        (c.type == CustomTraceConstant::kString ? std::string(c.Text()) : OS::FormatInt(c.integer)).c_str();
  }
  pugi::xml_node config = root.append_child("Config");
  AddText(config, "UnitType", OS::FormatInt(trace.UnitType));
  AddText(config, "UnitTypeString", trace.UnitTypeString);
  AddText(config, "ScriptType", OS::FormatInt(trace.ScriptType));
  AddText(config, "MinimumLimit", OS::FormatInt(trace.MinimumLimit));
  AddText(config, "MaximumLimit", OS::FormatInt(trace.MaximumLimit));
  AddText(config, "HorizontalLabels", OS::FormatInt(trace.HorizontalLabels));
  AddText(config, "VerticalLabels", OS::FormatInt(trace.VerticalLabels));
  AddText(config, "ShowUnit", trace.ShowUnit ? "true" : "false");
  AddText(config, "AutoRange", trace.AutoRange ? "true" : "false");
  AddText(root.append_child("Script"), "Code",
          Botan::base64_encode(reinterpret_cast<const std::uint8_t*>(trace.Code.data()), trace.Code.size()));

  StringWriter out;
  doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
  return std::move(out.text);
}

bool WriteCustomTraceXml(const CustomTraces& trace, const std::string& path) {
  return OS::AtomicWriteFile(path, FormatCustomTraceXml(trace));
}

}  // namespace ORV::Traces
