#include "updater/update_query.h"

#include <climits>
#include <cstdio>
#include <tuple>

#include "core/base/event_log.h"
#include "platform/os/number_text.h"
#include "platform/os/text.h"
#include "platform/os/xml_escape.h"
#include "updater/http_post.h"

namespace ORV::Freshet {

namespace {

std::int32_t LeadingInt32(std::string_view text) {
  const long long v = OS::LeadingInt(text);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

std::string_view LocalName(const char* name) {
  std::string_view n(name);
  const auto colon = n.find(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node FirstElementChild(const pugi::xml_node& node) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element) return c;
  return {};
}

// The fault's reason text, for the message.
std::string FaultReason(const pugi::xml_node& fault) {
  for (pugi::xml_node c : fault.children()) {
    if (LocalName(c.name()) != "Reason") continue;
    for (pugi::xml_node t : c.children())
      if (LocalName(t.name()) == "Text") return t.text().get();
  }
  return {};
}

}  // namespace

bool IsNewerThanInstalled(const FreshetUpdate& update, const std::vector<InstalledProduct>& installed) {
  for (const InstalledProduct& p : installed) {
    if (OS::EqualsNoCase(p.productName, update.productName))
      return std::tie(update.major, update.minor, update.revision) > std::tie(p.major, p.minor, p.third);
  }
  return true;
}

bool SameProductId(std::string_view a, std::string_view b) {
  const auto bare = [](std::string_view id) {
    if (id.size() >= 2 && id.front() == '{' && id.back() == '}') id = id.substr(1, id.size() - 2);
    return id;
  };
  return OS::EqualsNoCase(bare(a), bare(b));
}

int EnumerateInstalledProducts(const OS::InstalledProducts& source, std::vector<InstalledProduct>& list) {
  const std::vector<OS::InstalledProductEntry> entries = source.Enumerate();
  for (const OS::InstalledProductEntry& e : entries) {
    if (e.productName.empty()) continue;
    InstalledProduct p;
    p.productCode = e.productCode;
    p.productName = e.productName;
    if (e.versionString) ParseVersionString(*e.versionString, p.major, p.minor, p.third);
    list.push_back(std::move(p));
  }
  return static_cast<int>(entries.size());
}

void ParseVersionString(std::string_view text, std::int32_t& major, std::int32_t& minor, std::int32_t& third) {
  major = LeadingInt32(text);
  minor = 0;
  third = 0;
  std::int32_t* next[] = {&minor, &third};
  std::size_t pos = 0;
  for (std::int32_t* target : next) {
    const std::size_t dot = text.find('.', pos);
    if (dot == std::string_view::npos || dot + 1 >= text.size()) return;
    *target = LeadingInt32(text.substr(dot + 1));
    pos = dot + 1;
  }
}

std::string ServiceUrl(const FreshetSettings& settings) {
  return settings.serverUrl.empty() ? std::string(kBuiltInServiceUrl) : settings.serverUrl;
}

std::string BuildQueryBody(const FreshetSettings& settings) {
  std::string body;
  body += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  body +=
      "<soap12:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">\n";
  body += "<soap12:Body>\n";
  body += "<GetAvailableUpdatesWithUpdaterVersion xmlns=\"" + std::string(kServiceNamespace) + "\">\n";
  body += "<productId>" + OS::XmlEscape(settings.productId) + "</productId>\n";
  body += "<extra>" + OS::XmlEscape(settings.extra) + "</extra>\n";
  body += "<updateType>" + OS::XmlEscape(settings.updateType) + "</updateType>\n";
  body += "<updaterVersion>1</updaterVersion>\n";
  body += "<architecture>x64</architecture>\n";
  body += "</GetAvailableUpdatesWithUpdaterVersion>\n";
  body += "</soap12:Body>\n";
  body += "</soap12:Envelope>\n";
  return body;
}

void LogTransferFailure(const std::string& error) {
  EnsureLibraryEventLog();
  LogError("curl_easy_perform() failed: " + error);
}

int QueryAvailableUpdates(const FreshetSettings& settings, std::vector<FreshetUpdate>& list) {
  std::string reply;
  const HttpPostResult r =
      HttpPost(ServiceUrl(settings),
               {"Connection: close", "Host: localhost", "Content-Type: application/soap+xml; charset=utf-8"},
               BuildQueryBody(settings), kMaxReplyBytes, false, [&reply](std::string_view block) {
                 reply.append(block);
                 return true;
               });
  switch (r.outcome) {
    case HttpPostResult::Outcome::NoHandle:
      return kQueryNoHandle;
    case HttpPostResult::Outcome::TooLarge:
      std::fprintf(stderr, "the update service's reply is larger than %llu bytes\n",
                   static_cast<unsigned long long>(kMaxReplyBytes));
      return kQueryTooLarge;
    case HttpPostResult::Outcome::Done:
      return ParseQueryReply(reply, r.status, list);
    default:
      // Without a network this happens on every start: it goes to the event
      // log, not to the terminal.
      LogTransferFailure(r.error);
      return kQueryTransferFailed;
  }
}

int ParseQueryReply(std::string_view reply, long status, std::vector<FreshetUpdate>& list) {
  pugi::xml_document doc;
  const bool parsed = doc.load_buffer(reply.data(), reply.size());
  // Envelope, Body, the operation's response element, its result element.
  const pugi::xml_node envelope = parsed ? FirstElementChild(doc) : pugi::xml_node();
  const pugi::xml_node response = envelope.first_child().first_child();
  if (response.type() == pugi::node_element && LocalName(response.name()) == "Fault") {
    std::fprintf(stderr, "the update service reported a fault: %s\n", FaultReason(response).c_str());
    return kQuerySoapFault;
  }
  if (status < 200 || status > 299) {
    std::fprintf(stderr, "the update service answered with HTTP status %ld\n", status);
    return kQueryHttpError;
  }
  if (!parsed) {
    std::fprintf(stderr, "the update service's reply is not well-formed XML\n");
    return kQueryNotXml;
  }
  ParseUpdates(response.first_child(), list);
  return static_cast<int>(list.size());
}

int ParseUpdates(const pugi::xml_node& parent, std::vector<FreshetUpdate>& list) {
  int added = 0;
  for (pugi::xml_node u = parent.child("Updates"); u; u = u.next_sibling("Updates")) {
    FreshetUpdate r;
    r.productId = u.child("productId").text().get();
    r.date = u.child("date").text().get();
    r.description = u.child("description").text().get();
    r.productName = u.child("productName").text().get();
    r.windowsInstallerId = u.child("windowsInstallerId").text().get();
    const pugi::xml_node v = u.child("version");
    r.major = LeadingInt32(v.child("major").text().get());
    r.minor = LeadingInt32(v.child("minor").text().get());
    r.revision = LeadingInt32(v.child("revision").text().get());
    r.build = LeadingInt32(v.child("build").text().get());
    for (pugi::xml_node f : u.child("url").children()) {
      if (f.type() != pugi::node_element) continue;
      r.files.push_back({f.child("url").text().get(), f.child("localName").text().get()});
    }
    list.push_back(std::move(r));
    ++added;
  }
  return added;
}

int CheckForUpdates(FreshetSettings& settings, const OS::InstalledProducts& installedSource, bool* queryFailed) {
  if (queryFailed) *queryFailed = false;
  std::vector<InstalledProduct> installed;
  if (EnumerateInstalledProducts(installedSource, installed) > 0) {
    std::vector<FreshetUpdate> offered;
    const int queried = QueryAvailableUpdates(settings, offered);
    if (queryFailed) *queryFailed = queried < 0;
    if (queried >= 0) {
      std::vector<FreshetUpdate> updates;
      for (FreshetUpdate& u : offered) {
        if (SameProductId(u.productId, settings.productId)) settings.ownProduct = u;
        if (IsNewerThanInstalled(u, installed)) updates.push_back(std::move(u));
      }
      settings.updates = std::move(updates);
    }
    if (settings.ownProduct.productName.empty()) {
      for (const InstalledProduct& p : installed) {
        if (!settings.productId.empty() && SameProductId(p.productCode, settings.productId)) {
          settings.ownProduct.productName = p.productName;
          break;
        }
      }
    }
  }
  return settings.updates.empty() ? 0 : 1;
}

std::string Base64Decode(std::string_view text) {
  static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int held = 0;
  for (char c : text) {
    const std::size_t v = kAlphabet.find(c);
    if (v == std::string_view::npos) break;
    bits = ((bits << 6) | static_cast<std::uint32_t>(v)) & 0xFFFFFF;
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<char>((bits >> held) & 0xFF));
    }
  }
  return out;
}

}  // namespace ORV::Freshet
