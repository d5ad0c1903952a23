// The update query: the request on the wire, reading the service's reply,
// the comparison with the installed products, and base64 descriptions.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "updater/update_query.h"
#include "updater_fixture.h"

namespace ORV::Test {
namespace {

using Freshet::FreshetUpdate;
using Freshet::FreshetUpdateFile;

const char* const kPath = "/Registration/ORVWebService/ProgramUpdates.asmx";

std::string ExpectedBody(const std::string& id, const std::string& extra, const std::string& type) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<soap12:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:soap12=\"http://www.w3.org/2003/05/soap-envelope\">\n"
         "<soap12:Body>\n"
         "<GetAvailableUpdatesWithUpdaterVersion xmlns=\"" +
         std::string(Freshet::kServiceNamespace) +
         "\">\n"
         "<productId>" +
         id +
         "</productId>\n"
         "<extra>" +
         extra +
         "</extra>\n"
         "<updateType>" +
         type +
         "</updateType>\n"
         "<updaterVersion>1</updaterVersion>\n"
         "<architecture>x64</architecture>\n"
         "</GetAvailableUpdatesWithUpdaterVersion>\n"
         "</soap12:Body>\n"
         "</soap12:Envelope>\n";
}

TEST_F(UpdaterTest, QueryRequestIsSentByteForByteWithEscapedFields) {
  struct Case {
    const char* id;
    const char* extra;
    const char* type;
    std::string wireId, wireExtra, wireType;
  };
  const Case cases[] = {
      {kProductId, "5.5.7", "A", kProductId, "5.5.7", "A"},
      {"{A&B<C>}", "x\"y'z", "M&", "{A&amp;B&lt;C&gt;}", "x&quot;y&apos;z", "M&amp;"},
      {"", "", "", "", "", ""},
  };
  settings.serverUrl = server.Url(kPath);
  server.SetDefault({200, SoapReply("")});
  for (const Case& c : cases) {
    settings.productId = c.id;
    settings.extra = c.extra;
    settings.updateType = c.type;
    std::vector<FreshetUpdate> list;
    EXPECT_EQ(Freshet::QueryAvailableUpdates(settings, list), 0) << c.id;
  }
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), std::size(cases));
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const HttpRequest& r = requests[i];
    const std::string body = ExpectedBody(cases[i].wireId, cases[i].wireExtra, cases[i].wireType);
    EXPECT_EQ(r.requestLine, std::string("POST ") + kPath + " HTTP/1.1");
    EXPECT_EQ(OwnHeaders(r), (std::vector<std::string>{"Host: localhost", "Connection: close",
                                                       "Content-Type: application/soap+xml; charset=utf-8"}));
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(r.body, body);
  }
}

TEST_F(UpdaterTest, QueryWithoutServerUrlUsesTheBuiltInService) {
  settings.serverUrl.clear();
  EXPECT_EQ(Freshet::ServiceUrl(settings), Freshet::kBuiltInServiceUrl);
  EXPECT_EQ(std::string(Freshet::kBuiltInServiceUrl).substr(std::string(Freshet::kBuiltInServiceUrl).find(":8080")),
            std::string(":8080") + kPath);
}

TEST_F(UpdaterTest, ReplyWithTwoUpdatesIsReadIntoRecords) {
  server.Queue({200,
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
                "<R xmlns=\"urn:x\"><Result>"
                "<Updates><productId>{P1}</productId><date>2024-03-01</date><description>QUJD</description>"
                "<productName>Tarvix</productName><windowsInstallerId>{W1}</windowsInstallerId>"
                "<version><major>5</major><minor>6</minor><revision>1</revision><build>42</build></version>"
                "<url><UpdateFile><url>files/a.pkg</url><localName>a.pkg</localName></UpdateFile>"
                "<Other><localName>b.pkg</localName><url>files/b.pkg</url></Other></url></Updates>"
                "<Ignored><productName>not an update</productName></Ignored>"
                "<Updates><productName>Drivers</productName><version><major>2</major></version></Updates>"
                "</Result></R></soap:Body></soap:Envelope>"});
  std::vector<FreshetUpdate> list;
  ASSERT_EQ(Freshet::QueryAvailableUpdates(settings, list), 2);
  ASSERT_EQ(list.size(), 2u);
  FreshetUpdate first;
  first.productId = "{P1}";
  first.date = "2024-03-01";
  first.description = "QUJD";
  first.productName = "Tarvix";
  first.windowsInstallerId = "{W1}";
  first.major = 5;
  first.minor = 6;
  first.revision = 1;
  first.build = 42;
  first.files = {{"files/a.pkg", "a.pkg"}, {"files/b.pkg", "b.pkg"}};
  EXPECT_EQ(list[0], first);
  FreshetUpdate second;
  second.productName = "Drivers";
  second.major = 2;
  EXPECT_EQ(list[1], second);
}

TEST_F(UpdaterTest, EachFailedQueryGivesItsOwnResult) {
  const std::string fault =
      "<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>"
      "<soap:Fault><soap:Code><soap:Value>soap:Receiver</soap:Value></soap:Code>"
      "<soap:Reason><soap:Text xml:lang=\"en\">Server was unable to process request</soap:Text></soap:Reason>"
      "</soap:Fault></soap:Body></soap:Envelope>";
  std::string huge = SoapReply("");
  huge.resize(Freshet::kMaxReplyBytes + 1, ' ');
  HttpReply unannounced{200, huge};
  unannounced.announceLength = false;
  HttpReply cut{200, SoapReply("")};
  cut.missingBytes = 10;

  struct Case {
    const char* what;
    HttpReply reply;
    int expected;
  };
  const Case cases[] = {
      {"empty result", {200, SoapReply("")}, 0},
      {"not XML", {200, "<html><body>Service unavailable"}, Freshet::kQueryNotXml},
      {"empty body", {200, ""}, Freshet::kQueryNotXml},
      {"HTTP 500 page", {500, "<html><body>Internal error</body></html>", "text/html"}, Freshet::kQueryHttpError},
      {"HTTP 404 with a well-formed body",
       {404, SoapReply(UpdateElement(MakeUpdate("X", 9, 0, 0, 0)))},
       Freshet::kQueryHttpError},
      {"SOAP fault with HTTP 500", {500, fault}, Freshet::kQuerySoapFault},
      {"SOAP fault with HTTP 200", {200, fault}, Freshet::kQuerySoapFault},
      {"announced oversized reply", {200, huge}, Freshet::kQueryTooLarge},
      {"unannounced oversized reply", unannounced, Freshet::kQueryTooLarge},
      {"reply cut short", cut, Freshet::kQueryTransferFailed},
  };
  for (const Case& c : cases) server.Queue(c.reply);
  for (const Case& c : cases) {
    std::vector<FreshetUpdate> list;
    EXPECT_EQ(Freshet::QueryAvailableUpdates(settings, list), c.expected) << c.what;
    EXPECT_TRUE(list.empty()) << c.what;
  }

  RefusingPort refusing;
  settings.serverUrl = refusing.Url("/svc");
  ExpectTransferFailureLogged([&] {
    std::vector<FreshetUpdate> list;
    EXPECT_EQ(Freshet::QueryAvailableUpdates(settings, list), Freshet::kQueryTransferFailed);
  });
}

TEST(UpdateQuery, ReplyPathIsWalkedByPositionNotByName) {
  struct Case {
    const char* what;
    std::string reply;
    int expected;
  };
  const std::string update = UpdateElement(MakeUpdate("A", 1, 0, 0, 0));
  const Case cases[] = {
      {"other element names", "<E><B><R><X>" + update + update + "</X></R></B></E>", 2},
      {"a header before the body", "<E><H/><B><R><X>" + update + "</X></R></B></E>", 0},
      {"too shallow", "<E><B><R>" + update + "</R></B></E>", 0},
      {"document with only an envelope", "<E/>", 0},
  };
  for (const Case& c : cases) {
    std::vector<FreshetUpdate> list;
    EXPECT_EQ(Freshet::ParseQueryReply(c.reply, 200, list), c.expected) << c.what;
  }
}

TEST(UpdateQuery, VersionStringsAreReadLikeAtoi) {
  struct Case {
    const char* text;
    int major, minor, third;
  };
  const Case cases[] = {
      {"5.5.7", 5, 5, 7},
      {"5.5.7.1234", 5, 5, 7},
      {"5", 5, 0, 0},
      {"5.", 5, 0, 0},
      {"5.6", 5, 6, 0},
      {"", 0, 0, 0},
      {"x.2.3", 0, 2, 3},
      {" 7.8.9", 7, 8, 9},
      {"1.2beta.3", 1, 2, 3},
      {"1..3", 1, 0, 3},
      {"99999999999.1.1", 2147483647, 1, 1},
  };
  for (const Case& c : cases) {
    std::int32_t major = -1, minor = -1, third = -1;
    Freshet::ParseVersionString(c.text, major, minor, third);
    EXPECT_EQ(major, c.major) << c.text;
    EXPECT_EQ(minor, c.minor) << c.text;
    EXPECT_EQ(third, c.third) << c.text;
  }
}

TEST(UpdateQuery, EnumerationCountsNamelessProductsButKeepsOnlyNamedOnes) {
  FakeInstalledProducts products;
  products.Add("ABC", "5.5.7");
  products.Add("", "1.0");
  products.entries.push_back({"{X}", "NoVersion", std::nullopt});
  std::vector<Freshet::InstalledProduct> list;
  EXPECT_EQ(Freshet::EnumerateInstalledProducts(products, list), 3);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].productName, "ABC");
  EXPECT_EQ(std::tie(list[0].major, list[0].minor, list[0].third), std::make_tuple(5, 5, 7));
  EXPECT_EQ(list[1].productName, "NoVersion");
  EXPECT_EQ(std::tie(list[1].major, list[1].minor, list[1].third), std::make_tuple(0, 0, 0));
}

TEST_F(UpdaterTest, OfferedUpdatesAreListedOnlyWhenNewerThanTheInstalledProduct) {
  struct Case {
    const char* what;
    FreshetUpdate offered;
    bool listed;
  };
  const Case cases[] = {
      {"same version, build ignored", MakeUpdate("abc", 5, 5, 7, 9), false},
      {"newer minor", MakeUpdate("abc", 5, 6, 0, 0), true},
      {"newer third number", MakeUpdate("ABC", 5, 5, 8, 0), true},
      {"newer major, lower minor", MakeUpdate("Abc", 6, 0, 0, 0), true},
      {"older", MakeUpdate("ABC", 5, 4, 99, 99), false},
      {"unknown product", MakeUpdate("XYZ", 0, 0, 0, 0), true},
      {"shorter installed version", MakeUpdate("Short", 5, 0, 1, 0), true},
      {"shorter installed version, same", MakeUpdate("Short", 5, 0, 0, 7), false},
      {"longer installed version", MakeUpdate("Long", 2, 1, 3, 0), false},
      {"only the first match counts", MakeUpdate("Twice", 3, 0, 0, 0), false},
  };
  FakeInstalledProducts installed;
  installed.Add("ABC", "5.5.7");
  installed.Add("short", "5.");
  installed.Add("LONG", "2.1.3.400");
  installed.Add("Twice", "3.0.0");
  installed.Add("twice", "1.0.0");
  for (const Case& c : cases) {
    server.Queue({200, SoapReply(UpdateElement(c.offered))});
    Freshet::CheckForUpdates(settings, installed);
    EXPECT_EQ(settings.updates.size(), c.listed ? 1u : 0u) << c.what;
    if (!settings.updates.empty()) {
      EXPECT_EQ(settings.updates[0], c.offered) << c.what;
    }
  }
}

TEST_F(UpdaterTest, CheckReplacesTheListOnSuccessAndKeepsItOnFailure) {
  FakeInstalledProducts installed;
  installed.Add("Tarvix 5", "5.5.7");
  FreshetUpdate own = MakeUpdate("Tarvix 5", 5, 6, 0, 0, {{"u/t.pkg", "t.pkg"}});
  own.productId = kProductId;
  const FreshetUpdate other = MakeUpdate("Drivers", 1, 0, 0, 0);
  const std::string reply = SoapReply(UpdateElement(own) + UpdateElement(other));

  server.Queue({200, reply});
  EXPECT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
  EXPECT_EQ(settings.updates, (std::vector<FreshetUpdate>{own, other}));
  EXPECT_EQ(settings.ownProduct, own);

  server.Queue({200, reply});
  EXPECT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
  EXPECT_EQ(settings.updates.size(), 2u) << "a second check must not list the updates twice";

  server.Queue({500, "<html/>", "text/html"});
  EXPECT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
  EXPECT_EQ(settings.updates.size(), 2u) << "a failed check keeps what an earlier check found";

  server.Queue({200, SoapReply("")});
  EXPECT_EQ(Freshet::CheckForUpdates(settings, installed), 0);
  EXPECT_TRUE(settings.updates.empty());
  EXPECT_EQ(settings.ownProduct, own);
  EXPECT_EQ(server.Requests().size(), 4u);
}

// The own record names the product in the questions. The service may write
// the product's GUID in another case or without braces; when it offers no
// record of the product, the name is the one the product is installed under
// (the program registers itself under its product id).
TEST_F(UpdaterTest, TheOwnRecordHasTheProductsNameWhateverTheServiceOffers) {
  const std::string bare = std::string(kProductId).substr(1, std::string(kProductId).size() - 2);
  std::string lower = bare;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Case {
    const char* what;
    std::string offeredId;      // empty: the service offers only another product
    std::string installedCode;  // the code the product is installed under
    std::string ownName;
  };
  const Case cases[] = {
      {"the service's id as set", kProductId, "{other}", "Tarvix 5 (service)"},
      {"without braces", bare, "{other}", "Tarvix 5 (service)"},
      {"in lower case", "{" + lower + "}", "{other}", "Tarvix 5 (service)"},
      {"no record of the product: the installed name", "", "{" + lower + "}", "Tarvix 5"},
      {"installed under the bare id", "", bare, "Tarvix 5"},
      {"neither", "", "{other}", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeInstalledProducts installed;
    installed.entries.push_back({c.installedCode, "Tarvix 5", "5.5.7"});
    installed.Add("Drivers", "0.9");
    FreshetUpdate offered = MakeUpdate("Drivers", 1, 0, 0, 0);
    if (!c.offeredId.empty()) {
      offered = MakeUpdate("Tarvix 5 (service)", 5, 6, 0, 0);
      offered.productId = c.offeredId;
    }
    settings.ownProduct = {};
    server.Queue({200, SoapReply(UpdateElement(offered))});
    EXPECT_EQ(Freshet::CheckForUpdates(settings, installed), 1);
    EXPECT_EQ(settings.ownProduct.productName, c.ownName);
  }
}

TEST_F(UpdaterTest, NoInstalledProductMeansNoRequest) {
  FakeInstalledProducts none;
  settings.updates.push_back(MakeUpdate("Earlier", 1, 0, 0, 0));
  EXPECT_EQ(Freshet::CheckForUpdates(settings, none), 1);
  settings.updates.clear();
  EXPECT_EQ(Freshet::CheckForUpdates(settings, none), 0);
  EXPECT_TRUE(server.Requests().empty());
}

TEST(UpdateQuery, Base64DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
  struct Case {
    const char* text;
    std::string decoded;
  };
  const Case cases[] = {
      {"QUJD", "ABC"},
      {"QUJDRA==", "ABCD"},
      {"QUJDREU=", "ABCDE"},
      {"QUJD\nREVG", "ABC"},
      {"QUJD\r\nREVG", "ABC"},
      {"QUJDRA=x/+", "ABCD"},
      {"QU*JD", "A"},
      {"Q", ""},
      {"", ""},
      {"+/+/", "\xFB\xFF\xBF"},
      {"AAEC", std::string("\x00\x01\x02", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(Freshet::Base64Decode(c.text), c.decoded) << c.text;
}

}  // namespace
}  // namespace ORV::Test
