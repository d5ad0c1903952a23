#include "updater/update_files.h"

#include <climits>
#include <sstream>

#include "platform/os/folders.h"
#include "platform/os/number_text.h"

namespace ORV::Freshet {

namespace {

void AddText(pugi::xml_node parent, const char* name, const std::string& value) {
  parent.append_child(name).text().set(value.c_str());
}

void AddNumber(pugi::xml_node parent, const char* name, std::int32_t value) {
  parent.append_child(name).text().set(OS::FormatInt(value).c_str());
}

}  // namespace

bool WriteUpdateList(const std::string& path, const std::vector<FreshetUpdate>& updates) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("ArrayOfUpdates");
  for (const FreshetUpdate& u : updates) {
    pugi::xml_node e = root.append_child("Updates");
    AddText(e, "productName", u.productName);
    AddText(e, "productId", u.productId);
    AddText(e, "date", u.date);
    AddText(e, "description", u.description);
    AddText(e, "windowsInstallerId", u.windowsInstallerId);
    pugi::xml_node v = e.append_child("version");
    AddNumber(v, "major", u.major);
    AddNumber(v, "minor", u.minor);
    AddNumber(v, "revision", u.revision);
    AddNumber(v, "build", u.build);
    pugi::xml_node files = e.append_child("url");
    for (const FreshetUpdateFile& f : u.files) {
      pugi::xml_node file = files.append_child("File");
      AddText(file, "localName", f.localName);
      AddText(file, "url", f.url);
    }
  }
  return SaveXmlFile(doc, path);
}

bool WriteInitialStatus(const std::string& path) {
  pugi::xml_document doc;
  pugi::xml_node status = doc.append_child("Status");
  status.append_attribute(kDownloadFileAttribute).set_value(0);
  status.append_attribute(kInstallFileAttribute).set_value(0);
  return SaveXmlFile(doc, path);
}

bool LoadXmlFile(const std::string& path, pugi::xml_document& doc) {
  return static_cast<bool>(doc.load_file(path.c_str()));
}

bool SaveXmlFile(const pugi::xml_document& doc, const std::string& path) {
  std::ostringstream out;
  doc.save(out);
  return OS::AtomicWriteFile(path, out.str());
}

bool ReadCounter(const pugi::xml_document& status, const char* attribute, int& value) {
  const pugi::xml_attribute a = status.document_element().attribute(attribute);
  if (!a) return false;
  const auto v = OS::ParseInt(a.value());
  if (!v || *v < 0 || *v > INT_MAX) return false;
  value = static_cast<int>(*v);
  return true;
}

}  // namespace ORV::Freshet
