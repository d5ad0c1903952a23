// Splitting instrument replies into fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/instruments/serial/test_device.h"

namespace ORV::Test {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitReply, ReplyForms) {
  struct Case {
    const char* name;
    char separator;
    std::string reply;
    std::string prefix;
    std::size_t minimum;
    std::size_t start;
    bool ok;
    Fields fields;
  };
  const std::vector<Case> cases = {
      {"version reply: leading field from the start index",
       ',',
       ">01,K40Q,V3.30\r",
       ">01,",
       3,
       1,
       true,
       {"01", "K40Q", "V3.30"}},
      {"five values", ',', ">12.5,10.0,0.3,7.40,37.0\r", ">", 5, 1, true, {"12.5", "10.0", "0.3", "7.40", "37.0"}},
      {"four values where five are needed",
       ',',
       ">12.5,10.0,0.3,7.40\r",
       ">",
       5,
       1,
       false,
       {"12.5", "10.0", "0.3", "7.40"}},
      {"separator inside the prefix: no leading field; trailing separator",
       ';',
       ">22;36.5;37.0;00.0;05.2;\r",
       ">22;",
       4,
       4,
       true,
       {"36.5", "37.0", "00.0", "05.2"}},
      {"three of four fields", ';', ">22;36.5;37.0;00.0;\r", ">22;", 4, 4, false, {"36.5", "37.0", "00.0"}},
      {"two values", ';', ">2p;1.5;2.5;\r", ">2p;", 2, 4, true, {"1.5", "2.5"}},
      {"CR LF line end adds no field",
       ';',
       ">22;36.5;37.0;00.0;05.2;\r\n",
       ">22;",
       5,
       4,
       false,
       {"36.5", "37.0", "00.0", "05.2"}},
      {"one character after the last separator is a field",
       ',',
       ">1,2,3,4,5\r",
       ">",
       5,
       1,
       true,
       {"1", "2", "3", "4", "5"}},
      {"reply cut short keeps its last digits",
       ',',
       ">12.5,10.0,0.3,7.40,37",
       ">",
       5,
       1,
       true,
       {"12.5", "10.0", "0.3", "7.40", "37"}},
      {"prefix and a separator as the last character", ',', ">01,", ">01,", 0, 1, false, {}},
      {"no separator", ',', ">37.5\r", ">", 0, 1, false, {}},
      {"other prefix", ',', "<01,K40Q,V3.30\r", ">01,", 3, 1, false, {}},
      {"prefix is case-sensitive", ';', ">2S;Firmware\r", ">2s;", 1, 4, false, {}},
      {"empty reply", ';', "", ">22;", 0, 4, false, {}},
      {"empty fields between separators", ';', ">2c;;0;\r", ">2c;", 2, 4, true, {"", "0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDevice device(c.separator);
    Fields fields;
    EXPECT_EQ(device.SplitReply(c.reply, c.prefix, fields, c.minimum, c.start), c.ok);
    EXPECT_EQ(fields, c.fields);
  }
}

TEST(SplitReply, MinimumCountsFieldsAlreadyInTheList) {
  TestDevice device(';');
  Fields fields{"earlier", "fields"};
  EXPECT_TRUE(device.SplitReply(">21;36.9;37.1;\r", ">21;", fields, 4, 4));
  EXPECT_EQ(fields, (Fields{"earlier", "fields", "36.9", "37.1"}));
  EXPECT_FALSE(device.SplitReply(">21;36.9;\r", ">21;", fields, 6, 4));
  EXPECT_EQ(fields.size(), 5u);
}

}  // namespace
}  // namespace ORV::Test
