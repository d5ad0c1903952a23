#pragma once
// The update check: which products are installed, which updates the update
// service offers for the product (SOAP 1.2 over HTTP), and which of them are
// newer than what is installed.
#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/installer_backend.h"
#include "updater/freshet_settings.h"

namespace ORV::Freshet {

// The deployment's update host; set at build time with ORV_UPDATE_HOST.
#ifndef ORV_UPDATE_HOST
#define ORV_UPDATE_HOST "updates.orvanta.example"
#endif
// The service that answers when no server URL is set.
inline constexpr const char* kBuiltInServiceUrl =
    "http://" ORV_UPDATE_HOST ":8080/Registration/ORVWebService/ProgramUpdates.asmx";
// The namespace the service declares for its operations.
inline constexpr const char* kServiceNamespace = "http://" ORV_UPDATE_HOST "/";

// Replies larger than this are refused.
inline constexpr std::uint64_t kMaxReplyBytes = 8ull << 20;

// Results of QueryAvailableUpdates; 0 or more is the number of records.
inline constexpr int kQueryNoHandle = -1;  // no libcurl handle
inline constexpr int kQueryTransferFailed = -2;
inline constexpr int kQueryNotXml = -3;     // the reply is not well-formed XML
inline constexpr int kQueryHttpError = -4;  // the reply's HTTP status is not 2xx
inline constexpr int kQuerySoapFault = -5;  // the service answered with a fault
inline constexpr int kQueryTooLarge = -6;   // the reply is larger than kMaxReplyBytes

// One installed product; the version's third number stands in for "revision".
struct InstalledProduct {
  std::int32_t third = 0;
  std::int32_t minor = 0;
  std::int32_t major = 0;
  std::string productCode;
  std::string productName;
};

// Appends each installed product that has a name; returns how many products
// were enumerated, named or not.
int EnumerateInstalledProducts(const OS::InstalledProducts& source, std::vector<InstalledProduct>& list);

// Reads "major[.minor[.third[.build]]]" as atoi would, each part that is
// absent staying 0; the build number is read and dropped.
void ParseVersionString(std::string_view text, std::int32_t& major, std::int32_t& minor, std::int32_t& third);

// True when `update` is one to install: no installed product has its name
// (ASCII case ignored), or it is newer than the first one that has, by
// (major, minor, revision) against (major, minor, third); the build number
// takes no part.
bool IsNewerThanInstalled(const FreshetUpdate& update, const std::vector<InstalledProduct>& installed);

// True when two product ids name the same product. They are GUIDs, which the
// service and the installed-product records may write with or without their
// braces and in either case: both are ignored.
bool SameProductId(std::string_view a, std::string_view b);

// The server URL, or the built-in service URL when it is empty.
std::string ServiceUrl(const FreshetSettings& settings);

// The query request's body, with the product id, extra and update type
// XML-escaped.
std::string BuildQueryBody(const FreshetSettings& settings);

// One request to the service; appends the offered updates to `list` and
// returns the number of records in the list afterwards, or a negative result
// above (with a message on standard error; a transfer that failed, as every
// one does without a network, is written to the event log instead).
int QueryAvailableUpdates(const FreshetSettings& settings, std::vector<FreshetUpdate>& list);

// Writes a failed transfer (the HTTP library's text for it) to the event log
// as an error entry "curl_easy_perform() failed: <text>".
void LogTransferFailure(const std::string& error);

// Reads a reply that arrived with HTTP status `status` (what
// QueryAvailableUpdates does with the body it received).
int ParseQueryReply(std::string_view reply, long status, std::vector<FreshetUpdate>& list);

// Appends one record per child element "Updates" of `parent`; returns how
// many it appended.
int ParseUpdates(const pugi::xml_node& parent, std::vector<FreshetUpdate>& list);

// The whole check. A query that succeeds replaces the update list with the
// offered records that are newer than the installed products (and records
// the product's own record); a failed query leaves the list as it was. While
// the own record has no name (the service offered no record of the product),
// it takes the name the product is installed under, which the questions
// show.
// Returns 1 when the update list is not empty afterwards, else 0;
// `queryFailed`, when given, tells whether the query was made and failed.
int CheckForUpdates(FreshetSettings& settings, const OS::InstalledProducts& installed, bool* queryFailed = nullptr);

// Base64 with the standard alphabet; stops at the first character outside
// it ("=" included) and drops bits left over.
std::string Base64Decode(std::string_view text);

}  // namespace ORV::Freshet
