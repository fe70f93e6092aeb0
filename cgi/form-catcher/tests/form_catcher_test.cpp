#include "cgi/form-catcher/form_catcher.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cgi/common/tests/cgi_process.h"

namespace halyard::cgitest {
namespace {

const std::string kHeader = "Content-type: text/html\r\n\r\n";
const std::string kUsage =
    kHeader +
    "<html>\r\n<title>Incorrect usage with form-catcher.cgi</title> \r\n<body><B>form-catcher.cgi"
    "</B> requires passing of arguements via hidden fields<br>\r\nMake sure that you have fill in "
    "both Success URL and Error URL in your Components box.<br></body>\r\n";
const std::string kMisconfiguration =
    kHeader +
    "<html>\r\nform-catcher misconfiguration, one or more of the 3 require fields is missing<br>"
    "\r\nThe require fields are: success, error, filename\r\n<br></html>";
const std::string kNotStored =
    kHeader +
    "<html>\r\n<title>form-catcher could not store the data</title> \r\n<body><B>form-catcher.cgi"
    "</B> could not store the submitted data.<br>\r\nPlease try again later.<br></body>\r\n"
    "</html>\r\n";
const std::string kFileNameRefused =
    kHeader +
    "<html>\r\n<title>form-catcher refused the file name</title> \r\n<body><B>form-catcher.cgi"
    "</B> does not allow the file name in the form's filename field: it must name a file inside "
    "the data folder.<br>\r\nGive a plain file name, without a drive, a leading slash or \"..\", "
    "in your Components box.<br></body>\r\n</html>\r\n";
const std::string kHidden = "success=/ok.html&error=/bad.html&filename=guest.txt";

std::string SuccessTo(const std::string& url) {
  return kHeader + "<html>\r\n<head>\r\n<meta http-equiv=\"Refresh\" content=\"0; URL=" + url +
         "\"></head>\r\n</html>\r\n";
}
std::string ErrorTo(const std::string& url) {
  return kHeader + "<html>\r\n<head>\r\n<meta http-equiv=\"Refresh\" content=\"0; URL=" + url +
         "\">\r\n</head>\r\n</html>\r\n";
}

class CatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirs(dir_ / "cgi-bin");
    MakeDirs(dir_ / "c");
  }
  CgiRun PostRun(const std::string& data) {
    CgiRun run;
    run.program = HALYARD_CGI_PROGRAM("form-catcher");
    run.directory = dir_ / "cgi-bin";
    run.env = {"HALYARD_DRIVE_C=" + (dir_ / "c"), "REQUEST_METHOD=POST",
               "CONTENT_LENGTH=" + std::to_string(data.size())};
    run.input = data;
    return run;
  }
  static CgiResult Checked(CgiResult r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r;
  }
  CgiResult Submit(const std::string& data) { return Checked(RunCgi(PostRun(data))); }
  std::string Stored(const std::string& name = "guest.txt") {
    return ReadFile(dir_ / ("c/webdata/" + name));
  }
  bool AnythingStored() { return !ListDir(dir_ / "c").empty(); }

  TempDir dir_;
};

TEST_F(CatcherTest, AppendsTheNumberedValuesAsOneTabSeparatedLine) {
  EXPECT_EQ(Submit(kHidden + "&1=Ann&2=Hi").out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "Ann\tHi\r\n");
  EXPECT_EQ(Submit("2=x&" + kHidden + "&1=first&name=skip&3=TRUE&4=true&5=a%0D%0Ab").out,
            SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "Ann\tHi\r\n\txfirst\ttrue\ta b\r\n");
}

TEST_F(CatcherTest, AnEmptyPairEndsTheStoredLine) {
  EXPECT_EQ(Submit(kHidden + "&1=a&2=b&&3=c").out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "a\tb\r\n");
}

TEST_F(CatcherTest, TheDataFolderComesFromConfigVerbatim) {
  MakeDirs(dir_ / "d");
  WriteFile(dir_ / "cgi-bin/config", "D:\\forms\\");
  CgiRun run = PostRun(kHidden + "&1=x");
  run.env.push_back("HALYARD_DRIVE_D=" + (dir_ / "d"));
  EXPECT_EQ(Checked(RunCgi(run)).out, SuccessTo("/ok.html"));
  EXPECT_EQ(ReadFile(dir_ / "d/forms/guest.txt"), "x\r\n");
  EXPECT_FALSE(AnythingStored());
}

TEST_F(CatcherTest, RequiredMarkersAndHiddenFieldsDecideThePage) {
  EXPECT_EQ(Submit(kHidden + "&1a=TRUE&1=&2=x").out, ErrorTo("/bad.html"));
  EXPECT_EQ(Submit("1a=TRUE&1=&" + kHidden).out, kMisconfiguration);
  EXPECT_EQ(Submit("success=/ok.html&error=/bad.html&1=x").out, kMisconfiguration);
  EXPECT_EQ(Submit(kHidden + "&filename=other.txt&1=x").out, kMisconfiguration);
  EXPECT_FALSE(AnythingStored());
  EXPECT_EQ(Submit(kHidden + "&1a=TRUE&1=y").out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "y\r\n");
}

TEST_F(CatcherTest, NoFormDataGetsTheUsagePage) {
  EXPECT_EQ(Submit("").out, kUsage);
  CgiRun run = PostRun("");
  run.env = {"HALYARD_DRIVE_C=" + (dir_ / "c")};  // no method, no query
  EXPECT_EQ(Checked(RunCgi(run)).out, kUsage);
  run.env.push_back("QUERY_STRING=" + kHidden + "&1=q");
  EXPECT_EQ(Checked(RunCgi(run)).out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "q\r\n");
}

TEST_F(CatcherTest, FileNamesThatLeaveTheDataFolderAreRefused) {
  for (const char* name :
       {"..%5Cescape.txt", "../escape.txt", "%2Fetc%2Fescape", "%5Cescape", "C%3A%5Cescape.txt",
        "sub%5C..%5C..%5Cescape", "a/../../escape", "..", "x:y"}) {
    EXPECT_EQ(Submit(std::string("success=/ok.html&error=/bad.html&filename=") + name + "&1=x").out,
              kFileNameRefused)
        << name;
  }
  EXPECT_FALSE(AnythingStored());
  // Refused whatever else the form holds: an empty required field does not hide it.
  EXPECT_EQ(Submit("success=s&error=e&filename=..%2Fx&1a=TRUE&1=").out, kFileNameRefused);
  EXPECT_EQ(ListDir(dir_.path()), (std::vector<std::string>{"c", "cgi-bin"}));
  // A name inside a subfolder, or with dots that are no segment of their own, is fine.
  MakeDirs(dir_ / "c/webdata/sub");
  EXPECT_EQ(Submit("success=/ok.html&error=/bad.html&filename=sub%5C..data..txt&1=x").out,
            SuccessTo("/ok.html"));
  EXPECT_EQ(Stored("sub/..data..txt"), "x\r\n");
}

TEST_F(CatcherTest, DataThatCannotBeStoredIsReportedAsSuch) {
  EXPECT_EQ(Submit("success=/ok.html&error=/bad.html&filename=nosuch%5Cx.txt&1=x").out, kNotStored);
  EXPECT_EQ(ListDir(dir_ / "c/webdata"), std::vector<std::string>{});
  // A full disk, as the file size limit makes it. The limit holds for every file the program
  // writes, its standard output here included.
  std::string data = kHidden;
  for (int f = 1; f <= 8; ++f) data += "&" + std::to_string(f) + "=" + std::string(200, 'v');
  CgiRun run = PostRun(data);
  run.fileSizeLimit = 1000;
  // No data file yet: none is left behind, empty or cut, nor any temporary file.
  EXPECT_EQ(Checked(RunCgi(run)).out, kNotStored);
  EXPECT_EQ(ListDir(dir_ / "c/webdata"), std::vector<std::string>{});
  // A data file already there: the partial line is taken back.
  WriteFile(dir_ / "c/webdata/guest.txt", "old line\r\n");
  EXPECT_EQ(Checked(RunCgi(run)).out, kNotStored);
  EXPECT_EQ(Stored(), "old line\r\n");
  EXPECT_EQ(ListDir(dir_ / "c/webdata"), std::vector<std::string>{"guest.txt"});
  // A file name that names the folder itself stores nothing either.
  EXPECT_EQ(Submit("success=/ok.html&error=/bad.html&filename=&1=x").out, kNotStored);
  EXPECT_EQ(ListDir(dir_ / "c/webdata"), std::vector<std::string>{"guest.txt"});
}

TEST_F(CatcherTest, RefreshUrlsAreEscapedForTheirAttribute) {
  EXPECT_EQ(
      Submit("success=%2Fok.html%3Fa%3D1%26b%3D%22%3E%3Cscript%3E&error=e&filename=g&1=x").out,
      SuccessTo("/ok.html?a=1&amp;b=&quot;&gt;&lt;script&gt;"));
  EXPECT_EQ(Submit("success=s&error=%22%3E%3Cb%3E&filename=g&1a=TRUE&1=").out,
            ErrorTo("&quot;&gt;&lt;b&gt;"));
}

TEST_F(CatcherTest, TabsInValuesCannotShiftColumns) {
  EXPECT_EQ(Submit(kHidden + "&1=a%09b&2=c%0Ad%0De").out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), "a b\tc de\r\n");
}

TEST_F(CatcherTest, ThirtyTwoSubmissionsAtOnceGiveThirtyTwoWholeLines) {
  std::vector<CgiRun> runs;
  std::set<std::string> expected;
  for (int i = 0; i < 32; ++i) {
    std::string data = kHidden, line;
    for (int f = 1; f <= 30; ++f) {
      std::string value =
          std::to_string(i) + "-" + std::string(240, static_cast<char>('a' + i % 26));
      data += "&" + std::to_string(f) + "=" + value;
      line += (f == 1 ? "" : "\t") + value;
    }
    expected.insert(line);
    runs.push_back(PostRun(data));
  }
  for (const CgiResult& r : RunCgiTogether(runs)) EXPECT_EQ(Checked(r).out, SuccessTo("/ok.html"));
  std::string stored = Stored();
  std::set<std::string> lines;
  std::size_t start = 0, count = 0;
  for (std::size_t end; (end = stored.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.insert(stored.substr(start, end - start));
    ++count;
  }
  EXPECT_EQ(start, stored.size());
  EXPECT_EQ(count, 32u);
  EXPECT_EQ(lines, expected);
}

TEST_F(CatcherTest, OversizedInputIsCutWithinItsSlots) {
  // Only the first 9,999 bytes of form data are read.
  std::string data = kHidden + "&1=" + std::string(9999 - kHidden.size() - 3, 'a') + "bcd";
  EXPECT_EQ(Submit(data).out, SuccessTo("/ok.html"));
  // The pair is cut to 255 raw characters, "1=" included.
  EXPECT_EQ(Stored(), std::string(253, 'a') + "\r\n");

  CgiRun run = PostRun(kHidden + "&1=x");
  run.env[2] = "CONTENT_LENGTH=4000000000";
  EXPECT_EQ(Checked(RunCgi(run)).out, SuccessTo("/ok.html"));
  run.env[2] = "CONTENT_LENGTH=junk";
  EXPECT_EQ(Checked(RunCgi(run)).out, kUsage);
  run.env[2] = "CONTENT_LENGTH=-20";
  EXPECT_EQ(Checked(RunCgi(run)).out, kUsage);

  // A long name is cut to 9 characters: "filenameX" is no hidden field, "123456789012" is
  // stored as a numbered field; an escape cut short at the end stays as it is.
  EXPECT_EQ(Submit(kHidden + "&filenameX=y&123456789012=z&2=end%4").out, SuccessTo("/ok.html"));
  EXPECT_EQ(Stored(), std::string(253, 'a') + "\r\nx\r\n\tz\tend%4\r\n");

  std::string query = "QUERY_STRING=" + kHidden + "&1=" + std::string(20000, 'q');
  run.env = {"HALYARD_DRIVE_C=" + (dir_ / "c"), query};
  EXPECT_EQ(Checked(RunCgi(run)).out, SuccessTo("/ok.html"));
}

TEST_F(CatcherTest, BinaryBytesAreStoredAsTheyCame) {
  std::string data = kHidden + "&1=";
  for (int c = 1; c < 256; ++c)
    if (c != '\n' && c != '&' && c != '\t' && c != '\r') data += static_cast<char>(c);
  EXPECT_EQ(Submit(data).out, SuccessTo("/ok.html"));
  // "+" decodes to a blank and "%'(" to the byte HexPairValue gives it; all else stays.
  std::string value = data.substr(kHidden.size() + 3);
  value.replace(value.find('+'), 1, " ");
  std::size_t percent = value.find('%');
  value.replace(percent, 3, std::string(1, static_cast<char>(((39 - 48) * 16 + (40 - 48)) & 0xFF)));
  EXPECT_EQ(Stored(), value + "\r\n");
}

TEST(FileNames, OnlyNamesInsideTheFolderAreSafe) {
  using halyard::catcher::IsSafeFileName;
  EXPECT_TRUE(IsSafeFileName("guest.txt"));
  EXPECT_TRUE(IsSafeFileName("sub\\guest.txt"));
  EXPECT_TRUE(IsSafeFileName("...txt"));
  EXPECT_FALSE(IsSafeFileName("..\\guest.txt"));
  EXPECT_FALSE(IsSafeFileName("sub/.."));
  EXPECT_FALSE(IsSafeFileName("/guest.txt"));
  EXPECT_FALSE(IsSafeFileName("C:guest.txt"));
}

}  // namespace
}  // namespace halyard::cgitest
