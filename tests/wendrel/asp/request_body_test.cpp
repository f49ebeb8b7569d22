#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/automation/safearray.h"
#include "tests/wendrel/asp/asp_test_support.h"
#include "wendrel/asp/multipart.h"
#include "wendrel/asp/request.h"

namespace {

namespace fs = std::filesystem;

class RequestBodyTest : public ::testing::Test {
 protected:
  void Receive(std::string_view header, std::string_view body = {}) {
    request_->ParseHeader(header, true);
    request_->SetBody(body);
    request_->ParseBody();
  }
  IDispatch* Entry(Collection& collection, std::u16string_view key) {
    return Object(Call(&collection, u"Item", {S(key)}));
  }
  std::u16string Value(Collection& collection, std::u16string_view key) {
    return Text(Call(Entry(collection, key), u"Value"));
  }
  int16_t Count(Collection& collection, std::u16string_view key) {
    return Call(Entry(collection, key), u"Count").value().iVal;
  }

  FakeRequestServer server_;
  ComPtr<Request> request_ = MakeObject<Request>(&server_);
};

TEST_F(RequestBodyTest, QueryStringPairsAreDecodedAndMerged) {
  Receive("GET /page.asp?a=1&a=2&b&c=x%20y+z HTTP/1.1");
  Collection& query = request_->QueryStringCollection();
  EXPECT_EQ(Value(query, u"a"), u"1, 2");
  EXPECT_EQ(Text(Call(Entry(query, u"a"), u"Value", {I(2)})), u"2");
  EXPECT_EQ(Count(query, u"a"), 2);
  EXPECT_EQ(Count(query, u"b"), 1);
  EXPECT_EQ(Value(query, u"b"), u"");
  EXPECT_EQ(Value(query, u"c"), u"x y z");
  EXPECT_EQ(Text(Call(&query, u"Item")), u"a=1&a=2&b&c=x%20y+z");
  EXPECT_EQ(request_->UrlPath(), "/page.asp");
  EXPECT_EQ(request_->QueryText(), "a=1&a=2&b&c=x%20y+z");
}

TEST_F(RequestBodyTest, StaticFilesAreNotFullyParsed) {
  Receive("GET /a%20b.htm?x=1 HTTP/1.1");
  EXPECT_EQ(request_->QueryStringCollection().EntryCount(), 0u);
  EXPECT_EQ(request_->RequestPage(), "/a b.htm");
}

TEST_F(RequestBodyTest, PathIsDecodedWithoutAQuery) {
  Receive("GET /dir%2Fname.asp HTTP/1.1");
  EXPECT_EQ(request_->RequestPage(), "/dir/name.asp");
  EXPECT_EQ(request_->UrlPath(), "/dir/name.asp");
  EXPECT_EQ(request_->QueryText(), "");
}

TEST_F(RequestBodyTest, UrlEncodedFormFillsForm) {
  Receive("POST /f.asp HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded",
          "name=J%C3%B6rg&x=1&x=2");
  Collection& form = request_->FormCollection();
  EXPECT_EQ(Value(form, u"name"), u"Jörg");
  EXPECT_EQ(Value(form, u"x"), u"1, 2");
  EXPECT_EQ(Text(Call(&form, u"Item")), u"name=J%C3%B6rg&x=1&x=2");
  EXPECT_EQ(Text(Call(request_.get(), u"Body")), u"name=J%C3%B6rg&x=1&x=2");
}

TEST_F(RequestBodyTest, OtherBodiesOnlySetTheRawText) {
  Receive("POST /f.asp HTTP/1.1\r\nContent-Type: application/json", "{\"a\":1}");
  EXPECT_EQ(request_->FormCollection().EntryCount(), 0u);
  EXPECT_EQ(Text(Call(&request_->FormCollection(), u"Item")), u"{\"a\":1}");
}

TEST_F(RequestBodyTest, CookiesAreDecodedAndTheFirstValueWins) {
  Receive("GET /c.asp HTTP/1.1\r\nCookie: a=1; prefs=x%3D1%26y%3D2\r\nCookie: a=9; junk");
  Collection& cookies = request_->CookiesCollection();
  EXPECT_EQ(cookies.EntryCount(), 2u);
  EXPECT_EQ(Text(Call(Entry(cookies, u"a"), u"Item")), u"1");
  IDispatch* prefs = Entry(cookies, u"PREFS");
  EXPECT_EQ(Call(prefs, u"HasKeys").value().boolVal, VARIANT_TRUE);
  EXPECT_EQ(Text(Call(prefs, u"Item", {S(u"y")})), u"2");
}

TEST_F(RequestBodyTest, RequestItemSearchesQueryFormCookiesThenVariables) {
  Receive("POST /p.asp?a=query HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
          "Cookie: c=cookie\r\nUser-Agent: agent",
          "a=form&f=formonly");
  EXPECT_EQ(Text(Call(Object(Call(request_.get(), u"Item", {S(u"a")})), u"Value")), u"query");
  EXPECT_EQ(Text(Call(Object(Call(request_.get(), u"Item", {S(u"f")})), u"Value")), u"formonly");
  EXPECT_EQ(Text(Call(Object(Call(request_.get(), u"Item", {S(u"c")})), u"Item")), u"cookie");
  // New Items: the results keep them alive.
  Result<Variant> variable = Call(request_.get(), u"Item", {S(u"HTTP_USER_AGENT")});
  EXPECT_EQ(Text(Call(Object(variable), u"Value")), u"agent");
  Result<Variant> nothing = Call(request_.get(), u"Item", {S(u"nothing")});
  EXPECT_EQ(Call(Object(nothing), u"Count").value().iVal, 0);
}

TEST_F(RequestBodyTest, BinaryReadMovesThroughTheBody) {
  Receive("POST /b.asp HTTP/1.1\r\nContent-Type: application/octet-stream", "abcdef");
  Variant count = I(4);
  Variant by_reference = Variant::RefTo(&count);
  std::vector<VARIANT> arguments{by_reference};
  Result<Variant> first = CallMember(request_.get(), u"BinaryRead", arguments);
  ASSERT_EQ(first.value().vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(SafeArrayElementCount(first.value().parray), 4u);
  EXPECT_EQ(std::string(static_cast<char*>(first.value().parray->pvData), 4), "abcd");
  Result<Variant> rest = CallMember(request_.get(), u"BinaryRead", arguments);
  EXPECT_EQ(SafeArrayElementCount(rest.value().parray), 2u);
  EXPECT_EQ(count.lVal, 2);  // written back: what was read
  Result<Variant> end = Call(request_.get(), u"BinaryRead", {I(4)});
  EXPECT_EQ(SafeArrayElementCount(end.value().parray), 0u);
}

// --- Multipart forms and uploads -----------------------------------------------------------

std::string MultipartBody(std::string_view boundary,
                          std::initializer_list<std::pair<std::string, std::string>> parts) {
  std::string body;
  for (const auto& [headers, content] : parts) {
    body += "--" + std::string(boundary) + "\r\n" + headers + "\r\n\r\n" + content + "\r\n";
  }
  body += "--" + std::string(boundary) + "--\r\n";
  return body;
}

class MultipartTest : public RequestBodyTest {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("wendrel-upload-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "uploads");
    server_.root = folder_.string();
    server_.upload_dir = (folder_ / "uploads").string();
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Post(const std::string& body) {
    Receive("POST /u.asp HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=XyZ", body);
  }
  std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
};

TEST_F(MultipartTest, FieldsAndFilesAreSplitExactly) {
  std::string binary("\0\r\n--X\r\n\xFF", 10);
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"title\"", "Hello"},
                             {"Content-Disposition: form-data; name=\"empty\"", ""},
                             {"Content-Disposition: form-data; name=\"file\"; "
                              "filename=\"C:\\docs\\report.bin\"\r\nContent-Type: x/y",
                              binary}}));
  Collection& form = request_->FormCollection();
  EXPECT_EQ(Value(form, u"title"), u"Hello");
  EXPECT_EQ(Count(form, u"empty"), 1);
  EXPECT_EQ(Value(form, u"empty"), u"");
  IDispatch* file = Entry(form, u"file");
  std::string expected_path = (folder_ / "uploads" / "report.bin").string();
  EXPECT_EQ(Text(Call(file, u"Value", {I(1)})), std::u16string(expected_path.begin(), expected_path.end()));
  EXPECT_EQ(Text(Call(file, u"Value", {I(2)})), u"report.bin");
  EXPECT_EQ(FileText(folder_ / "uploads" / "report.bin"), binary);
}

TEST_F(MultipartTest, UploadNamesNeverLeaveTheUploadFolder) {
  const std::string names[] = {"../../escape.txt", "..\\..\\escape.txt", "/etc/escape.txt",
                               "..", ".", "", std::string("a\0b", 3), "sub/../../escape.txt"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"" +
                                    name + "\"",
                                "payload"}}));
    EXPECT_EQ(Count(request_->FormCollection(), u"f"), 2);  // path and name still given
  }
  EXPECT_FALSE(fs::exists(folder_ / "escape.txt"));
  EXPECT_FALSE(fs::exists("/etc/escape.txt"));
  std::vector<std::string> written;
  for (const auto& entry : fs::directory_iterator(folder_ / "uploads")) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  // The last segment only, and never over a file that exists: the four names that come down to
  // "escape.txt" give four files.
  EXPECT_EQ(written, (std::vector<std::string>{"escape (1).txt", "escape (2).txt",
                                               "escape (3).txt", "escape.txt"}));
}

TEST_F(MultipartTest, ExistingFilesAreNeverReplaced) {
  std::ofstream(folder_ / "uploads" / "a.txt") << "old";
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"a.txt\"",
                              "new"}}));
  EXPECT_EQ(FileText(folder_ / "uploads" / "a.txt"), "old");
  EXPECT_EQ(FileText(folder_ / "uploads" / "a (1).txt"), "new");
  // The field names the file that was written.
  IDispatch* file = Entry(request_->FormCollection(), u"f");
  std::string written = (folder_ / "uploads" / "a (1).txt").string();
  EXPECT_EQ(Text(Call(file, u"Value", {I(1)})), std::u16string(written.begin(), written.end()));
  EXPECT_EQ(Text(Call(file, u"Value", {I(2)})), u"a.txt");
}

// An uploaded page must never become a page: files the server would run or hide are not
// written into a folder it serves, whatever UploadDir says.
TEST_F(MultipartTest, ServerCodeIsNeverUploadedIntoAServedFolder) {
  server_.served_root = folder_.string();
  for (std::string name : {"evil.asp", "global.asa", "page.ASPX", "secret.inc", "x.csx"}) {
    SCOPED_TRACE(name);
    Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"" +
                                    name + "\"",
                                "<% code %>"}}));
    EXPECT_FALSE(fs::exists(folder_ / "uploads" / name));
    EXPECT_EQ(Count(request_->FormCollection(), u"f"), 2);
  }
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"ok.txt\"",
                              "text"}}));
  EXPECT_EQ(FileText(folder_ / "uploads" / "ok.txt"), "text");
  server_.served_root = "/srv/elsewhere";  // the upload folder is private: any name may land
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"evil.asp\"",
                              "data"}}));
  EXPECT_EQ(FileText(folder_ / "uploads" / "evil.asp"), "data");
}

TEST_F(MultipartTest, WithoutUploadDirFilesGoToThePrivateFolder) {
  server_.upload_dir.clear();
  server_.private_folder = (folder_ / "private").string();
  fs::create_directories(folder_ / "private");
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"p.txt\"",
                              "private"}}));
  EXPECT_EQ(FileText(folder_ / "private" / "p.txt"), "private");
  EXPECT_FALSE(fs::exists(folder_ / "p.txt"));
  server_.private_folder.clear();  // none could be made: nothing is written anywhere
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"g\"; filename=\"q.txt\"",
                              "lost"}}));
  EXPECT_FALSE(fs::exists(folder_ / "q.txt"));
  EXPECT_EQ(Text(Call(Entry(request_->FormCollection(), u"g"), u"Value", {I(2)})), u"q.txt");
}

TEST_F(MultipartTest, SymbolicLinkInTheUploadFolderIsNotFollowed) {
  fs::create_symlink(folder_ / "target.txt", folder_ / "uploads" / "link.txt");
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"link.txt\"",
                              "payload"}}));
  EXPECT_FALSE(fs::exists(folder_ / "target.txt"));
}

TEST_F(MultipartTest, DisabledUploadsKeepTheContentAsTheThirdValue) {
  server_.disable_upload = true;
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"a.txt\"",
                              "content"}}));
  IDispatch* file = Entry(request_->FormCollection(), u"f");
  EXPECT_EQ(Call(file, u"Count").value().iVal, 2);
  EXPECT_EQ(Text(Call(file, u"Value", {I(3)})), u"content");
  EXPECT_FALSE(fs::exists(folder_ / "uploads" / "a.txt"));
}

TEST_F(MultipartTest, VirtualUploadFolderIsMapped) {
  server_.upload_dir = "uploads";
  Post(MultipartBody("XyZ", {{"Content-Disposition: form-data; name=\"f\"; filename=\"v.txt\"",
                              "virtual"}}));
  EXPECT_EQ(FileText(folder_ / "uploads" / "v.txt"), "virtual");
}

TEST(MultipartParsing, BrokenBodiesGiveWhatCanBeFound) {
  // No closing boundary: the last part runs to the end of the body.
  std::vector<MultipartPart> open = ParseMultipart(
      "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nvalue-without-end", "B");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].content, "value-without-end");
  EXPECT_TRUE(ParseMultipart("no boundary anywhere", "B").empty());
  EXPECT_TRUE(ParseMultipart("--B\r\nheaders without an empty line", "B").empty());
  EXPECT_TRUE(ParseMultipart("--B--", "").empty());
  EXPECT_FALSE(MultipartBoundary("multipart/form-data").has_value());
  EXPECT_FALSE(MultipartBoundary("multipart/form-data; boundary=").has_value());
  EXPECT_EQ(MultipartBoundary("multipart/form-data; BOUNDARY = \"q\"").value(), "\"q\"");
}

TEST(MultipartParsing, NameInsideFilenameIsNotTheFieldWhenNameComesFirst) {
  std::vector<MultipartPart> parts = ParseMultipart(
      "--B\r\nContent-Disposition: form-data; name=\"field\"; filename=\"f.txt\"\r\n\r\nx\r\n--B--",
      "B");
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].field_name, "field");
  EXPECT_EQ(parts[0].file_name.value(), "f.txt");
  EXPECT_EQ(parts[0].content, "x");
}

}  // namespace
