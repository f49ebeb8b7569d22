// The Response object through its dispatch members: reset values, properties and their
// refusals, the body and how it is written, flushing and send failures.

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/automation/safearray.h"
#include "platform/com/stream.h"
#include "platform/scripting/active_script.h"
#include "tests/wendrel/server/response_test_support.h"

namespace {

using namespace response_test;

class ResponseTest : public ResponseFixture {
 protected:
  std::string Body() { return std::string(response_->BodyBytes()); }
};

Variant ByteArray(std::string_view bytes) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(bytes.size()));
  std::memcpy(array->pvData, bytes.data(), bytes.size());
  return Variant::FromArray(VT_UI1, array);
}

Variant VariantArray(std::initializer_list<Variant> values) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<uint32_t>(values.size()));
  int32_t index = 0;
  for (const Variant& value : values) {
    EXPECT_TRUE(SafeArrayPutElement(array, &index, 1, value).ok());
    ++index;
  }
  return Variant::FromArray(VT_VARIANT, array);
}

TEST_F(ResponseTest, PropertiesStartAtTheirResetValues) {
  Result<Variant> code = Call(Dispatch(), u"Code");
  ASSERT_TRUE(code.ok());
  EXPECT_EQ(code.value().vt, VT_I2);
  EXPECT_EQ(code.value().iVal, 200);
  EXPECT_EQ(Text(Call(Dispatch(), u"Status")), u"200 OK");
  EXPECT_EQ(Text(Call(Dispatch(), u"ContentType")), u"text/html");
  EXPECT_EQ(Text(Call(Dispatch(), u"ResponseType")), u"text/html");
  EXPECT_EQ(Text(Call(Dispatch(), u"Charset")), u"");
  EXPECT_EQ(Text(Call(Dispatch(), u"CacheControl")), u"private");
  EXPECT_EQ(Call(Dispatch(), u"Expires").value().lVal, Response::kNoExpiry);
  EXPECT_EQ(Call(Dispatch(), u"ExpiresAbsolute").value().date, 0.0);
  EXPECT_EQ(Call(Dispatch(), u"CancelDefaultProcessing").value().boolVal, VARIANT_FALSE);
}

TEST_F(ResponseTest, ContentTypeAndResponseTypeAreOneField) {
  ASSERT_TRUE(Put(Dispatch(), u"ResponseType", S(u"text/plain")).ok());
  EXPECT_EQ(Text(Call(Dispatch(), u"ContentType")), u"text/plain");
}

TEST_F(ResponseTest, ClearRestoresTheResetValues) {
  ASSERT_TRUE(Put(Dispatch(), u"Code", I(404)).ok());
  ASSERT_TRUE(Put(Dispatch(), u"ContentType", S(u"text/plain")).ok());
  ASSERT_TRUE(Call(Dispatch(), u"AddHeader", {S(u"X-Gone"), S(u"1")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"abc")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Clear").ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(wire.Header("Content-Type"), "text/html");
  EXPECT_EQ(wire.Header("X-Gone"), "<absent>");
  EXPECT_EQ(wire.body, "");
}

TEST_F(ResponseTest, StatusPutTakesTheLeadingNumber) {
  ASSERT_TRUE(Put(Dispatch(), u"Status", S(u"404 Not Found")).ok());
  EXPECT_EQ(Call(Dispatch(), u"Code").value().iVal, 404);
  EXPECT_EQ(Text(Call(Dispatch(), u"Status")), u"404 Not Found");
  ASSERT_TRUE(Put(Dispatch(), u"Status", S(u"Not Found")).ok());
  EXPECT_EQ(Call(Dispatch(), u"Code").value().iVal, 404);
  ASSERT_TRUE(Put(Dispatch(), u"Status", S(u"0 Nothing")).ok());
  EXPECT_EQ(Call(Dispatch(), u"Code").value().iVal, 404);
  ASSERT_TRUE(Put(Dispatch(), u"Status", S(u"302")).ok());
  EXPECT_EQ(Text(Call(Dispatch(), u"Status")), u"302 Object moved");
}

TEST_F(ResponseTest, ExpiresAbsoluteRefusesWhatIsNoDate) {
  Result<void> put = Put(Dispatch(), u"ExpiresAbsolute", S(u"not a date"));
  ASSERT_FALSE(put.ok());
  EXPECT_EQ(put.error().Number(), 1003);
  EXPECT_EQ(put.error().Description(), u"Object can not be evaluated to date");
  ASSERT_TRUE(Put(Dispatch(), u"ExpiresAbsolute", S(u"2001-02-03")).ok());
  EXPECT_NE(Call(Dispatch(), u"ExpiresAbsolute").value().date, 0.0);
}

TEST_F(ResponseTest, BinaryWriteRefusesWhatHasNoBytes) {
  for (const Variant& data : {Variant::Null(), VariantArray({S(u"x")}), VariantArray({I(256)})}) {
    Result<Variant> written = Call(Dispatch(), u"BinaryWrite", {data});
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().Number(), 1004);
    EXPECT_EQ(written.error().Description(), u"Can not write this data");
  }
  EXPECT_EQ(Body(), "");
}

TEST_F(ResponseTest, WriteConvertsTextWithTheCodePage) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"\u00e9")}).ok());
  response_->SetCodePage(CP_UTF8);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"\u00e9")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {I(12)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {Variant::Null()}).ok());
  EXPECT_EQ(Body(), "\xE9\xC3\xA9" "12");
}

TEST_F(ResponseTest, WriteTakesByteArraysAndStreamsAsTheyAre) {
  response_->SetCodePage(CP_UTF8);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {ByteArray(std::string("\xE9\0x", 3))}).ok());
  ComPtr<IStream> stream = CreateMemoryStream();
  ULONG written = 0;
  ASSERT_EQ(stream->Write("\xFFstream", 7, &written), S_OK);
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {Variant::FromUnknown(stream.get())}).ok());
  EXPECT_EQ(Body(), std::string("\xE9\0x\xFFstream", 10));
}

TEST_F(ResponseTest, WriteExLimitsCharactersOrBytes) {
  ASSERT_TRUE(Call(Dispatch(), u"WriteEx", {S(u"abcdef"), I(3)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WriteEx", {S(u"-all-"), I(-1)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WriteEx", {ByteArray("12345"), I(2)}).ok());
  // A cut never leaves half of a surrogate pair.
  response_->SetCodePage(CP_UTF8);
  ASSERT_TRUE(Call(Dispatch(), u"WriteEx", {S(u"x\U0001F600"), I(2)}).ok());
  EXPECT_EQ(Body(), "abc-all-12x");
}

TEST_F(ResponseTest, WritePartAppendsASliceOfThePageText) {
  ASSERT_TRUE(Call(Dispatch(), u"WritePart", {I(0), I(3)}).ok());
  EXPECT_EQ(Body(), "");
  response_->SetPageText(std::make_shared<const std::string>("0123456789"));
  ASSERT_TRUE(Call(Dispatch(), u"WritePart", {I(2), I(5)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WritePart", {I(8), I(20)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WritePart", {I(5), I(2)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WritePart", {I(-4), I(1)}).ok());
  EXPECT_EQ(Body(), "234" "89" "0");
}

TEST_F(ResponseTest, BinaryWriteAppendsBytesWithoutTheCodePage) {
  response_->SetCodePage(CP_UTF8);
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {ByteArray(std::string("\0\xFF", 2))}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {VariantArray({I(72), I(105)})}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {S(u"\u00e9")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {I(7)}).ok());
  EXPECT_EQ(Body(), std::string("\0\xFFHi\xE9" "7", 6));
}

TEST_F(ResponseTest, BinaryWriteTakesAStreamFromItsPositionToItsEnd) {
  response_->SetCodePage(CP_UTF8);
  ComPtr<IStream> stream = CreateMemoryStream();
  ULONG written = 0;
  ASSERT_EQ(stream->Write("skip\x89PNG\0\xFF", 10, &written), S_OK);
  ASSERT_EQ(stream->Seek(4, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {Variant::FromUnknown(stream.get())}).ok());
  // The same stream again: it is at its end now, so nothing more is written.
  ASSERT_TRUE(Call(Dispatch(), u"BinaryWrite", {Variant::FromUnknown(stream.get())}).ok());
  EXPECT_EQ(Body(), std::string("\x89PNG\0\xFF", 6));
  // An object that offers no stream and has no bytes is still refused.
  Result<Variant> refused = Call(Dispatch(), u"BinaryWrite", {Variant::FromUnknown(static_cast<IDispatch*>(response_.get()))});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 1004);
}

TEST_F(ResponseTest, WriteMemBytesCopiesHostMemoryButNotForScripts) {
  const char block[] = "host memory";
  Variant address;
  address.vt = VT_I8;
  address.llVal = static_cast<int64_t>(reinterpret_cast<uintptr_t>(block));
  ASSERT_TRUE(Call(Dispatch(), u"WriteMemBytes", {address, I(4)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WriteMemBytes", {address, I(0)}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"WriteMemBytes", {I(0), I(4)}).ok());
  EXPECT_EQ(Body(), "host");
  response_->SetScriptRunning(true);
  Result<Variant> refused = Call(Dispatch(), u"WriteMemBytes", {address, I(4)});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Number(), 1004);
  EXPECT_EQ(Body(), "host");
}

TEST_F(ResponseTest, BodyGrowsByItsRule) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(std::u16string(10, u'a'))}).ok());
  EXPECT_EQ(response_->BodyCapacity(), 4096u);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(std::u16string(4085, u'b'))}).ok());  // 4095 fits
  EXPECT_EQ(response_->BodyCapacity(), 4096u);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"c")}).ok());  // 4096 reaches the capacity
  EXPECT_EQ(response_->BodyCapacity(), 4096u + 10);
  response_->ResetForRequest("HTTP/1.1");
  EXPECT_EQ(response_->BodyCapacity(), 4096u);
  // From the shrunk capacity, 10000 more is past 4096: the length plus the margin.
  ASSERT_TRUE(Call(Dispatch(), u"ReserveSpace", {I(10000)}).ok());
  EXPECT_EQ(response_->BodyCapacity(), 10010u);
  // Past 64 KiB the body at least doubles: writing megabytes in small pieces stays linear.
  ASSERT_TRUE(Call(Dispatch(), u"ReserveSpace", {I(70000)}).ok());
  EXPECT_EQ(response_->BodyCapacity(), 70010u);
  ASSERT_TRUE(Call(Dispatch(), u"ReserveSpace", {I(70011)}).ok());
  EXPECT_EQ(response_->BodyCapacity(), 140020u);
}

TEST(ResponseBody, FirstAllocationIs4096ThenDoubles) {
  ResponseBody body;
  ASSERT_TRUE(body.Reserve(10000).ok());
  EXPECT_EQ(body.capacity(), 16384u);
  ResponseBody small;
  ASSERT_TRUE(small.Append("x").ok());
  EXPECT_EQ(small.capacity(), 4096u);
  Result<void> huge = small.Reserve(ResponseBody::kMaxBytes);
  ASSERT_FALSE(huge.ok());
  EXPECT_TRUE(huge.error().Is(ErrorNumber::OutOfMemory));
  EXPECT_EQ(small.view(), "x");
}

TEST_F(ResponseTest, StreamTwiceFails) {
  Result<Variant> first = Call(Dispatch(), u"Stream");
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.value().vt, VT_UNKNOWN);
  Result<Variant> second = Call(Dispatch(), u"Stream");
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error().Hresult(), E_FAIL);
}

TEST_F(ResponseTest, StreamContentBecomesTheBody) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"replaced")}).ok());
  Result<Variant> stream_value = Call(Dispatch(), u"Stream");
  ASSERT_TRUE(stream_value.ok());
  ComPtr<IStream> stream =
      ComPtr<IUnknown>(stream_value.value().punkVal).As<IStream>(IID_IStream);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("from the stream", 15, &written), S_OK);
  WireResponse wire = Finished();
  EXPECT_EQ(wire.body, "from the stream");
  EXPECT_EQ(wire.Header("Content-Length"), "15");
  // The stream went with the flush: a new one can be had.
  EXPECT_TRUE(Call(Dispatch(), u"Stream").ok());
}

TEST_F(ResponseTest, AppendToLogGoesToTheHost) {
  ASSERT_TRUE(Call(Dispatch(), u"AppendToLog", {S(u"note")}).ok());
  EXPECT_EQ(host_.log_messages, std::vector<std::string>{"note"});
}

TEST_F(ResponseTest, AuthorizationRealmDefaultsToTheComputerName) {
  EXPECT_EQ(Text(Call(Dispatch(), u"AuthorizationRealm")), u"TESTBOX");
  ASSERT_TRUE(Put(Dispatch(), u"AuthorizationRealm", S(u"Reports")).ok());
  EXPECT_EQ(Text(Call(Dispatch(), u"AuthorizationRealm")), u"Reports");
  ComPtr<Response> without_host = MakeObject<Response>(nullptr);
  EXPECT_EQ(Text(Call(without_host.get(), u"AuthorizationRealm")),
            BytesToText(LocalComputerName(), CP_ACP));
}

TEST_F(ResponseTest, EndSendsClosesAndStopsTheScript) {
  response_->SetScriptRunning(true);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"before")}).ok());
  Result<Variant> ended = Call(Dispatch(), u"End");
  ASSERT_FALSE(ended.ok());
  EXPECT_EQ(ended.error().Hresult(), SCRIPT_E_STOP_WITHOUT_ERROR);
  EXPECT_FALSE(connection_.closed);  // the connection code closes it after the request
  EXPECT_FALSE(response_->KeepConnection());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"after")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.body, "before");
  EXPECT_EQ(wire.Header("Connection"), "Close");
}

TEST_F(ResponseTest, EndWithoutAScriptSucceeds) {
  EXPECT_TRUE(Call(Dispatch(), u"End").ok());
  EXPECT_TRUE(ReadWire(connection_.sent).complete);
}

TEST_F(ResponseTest, BodyGoesOutIn14000BytePieces) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(std::u16string(30000, u'x'))}).ok());
  WireResponse wire = Finished();
  // Headers and body leave as one stream cut into pieces of 14000 bytes.
  ASSERT_EQ(connection_.send_sizes.size(), 3u);
  EXPECT_EQ(connection_.send_sizes[0], 14000u);
  EXPECT_EQ(connection_.send_sizes[1], 14000u);
  EXPECT_EQ(connection_.send_sizes[2], connection_.sent.size() - 28000u);
  EXPECT_EQ(wire.body, std::string(30000, 'x'));
  EXPECT_EQ(response_->BytesSent(), static_cast<int64_t>(connection_.sent.size()));
}

TEST_F(ResponseTest, FailedSendGivesEFailAndLetsTheConnectionGo) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(std::u16string(30000, u'x'))}).ok());
  connection_.fail_after_bytes = 20000;  // the peer resets in the middle of the body
  Result<Variant> flushed = Call(Dispatch(), u"Flush");
  ASSERT_FALSE(flushed.ok());
  EXPECT_EQ(flushed.error().Hresult(), E_FAIL);
  EXPECT_FALSE(response_->KeepConnection());
  size_t sent = connection_.sent.size();
  connection_.fail_after_bytes = SIZE_MAX;
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"more")}).ok());
  EXPECT_FALSE(response_->Finish().ok());
  EXPECT_EQ(connection_.sent.size(), sent);  // nothing goes out after the failure
}

TEST_F(ResponseTest, UnboundResponseCannotSend) {
  response_->Bind(nullptr, nullptr);
  Result<Variant> flushed = Call(Dispatch(), u"Flush");
  ASSERT_FALSE(flushed.ok());
  EXPECT_EQ(flushed.error().Hresult(), E_FAIL);
}

TEST_F(ResponseTest, WouldBlockOffersTheSamePieceAgain) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"body")}).ok());
  connection_.would_block_count = 2;
  WireResponse wire = Finished();
  EXPECT_TRUE(wire.complete);
  EXPECT_EQ(wire.body, "body");
  EXPECT_EQ(connection_.sent.substr(0, 15), "HTTP/1.1 200 OK");
}

TEST_F(ResponseTest, OutputBeyondTheContentLengthEndsTheConnection) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"first")}).ok());
  ASSERT_TRUE(Call(Dispatch(), u"Flush").ok());
  EXPECT_TRUE(response_->KeepConnection());
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"second")}).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.Header("Content-Length"), "5");
  EXPECT_EQ(wire.body, "firstsecond");
  EXPECT_FALSE(response_->KeepConnection());
}

TEST_F(ResponseTest, TraceFinishesWithAnEmpty200) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"ignored")}).ok());
  ASSERT_TRUE(response_->FinishAtOnce().ok());
  WireResponse wire = ReadWire(connection_.sent);
  EXPECT_EQ(wire.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(wire.Header("Content-Length"), "0");
  EXPECT_EQ(wire.body, "");
}

TEST_F(ResponseTest, KeepConnectionChoosesTheConnectionHeader) {
  EXPECT_EQ(Finished().Header("Connection"), "Keep-Alive");
  connection_.sent.clear();
  response_->ResetForRequest("HTTP/1.0");
  ASSERT_TRUE(Put(Dispatch(), u"KeepConnection", Variant::FromBool(false)).ok());
  WireResponse wire = Finished();
  EXPECT_EQ(wire.status_line, "HTTP/1.0 200 OK");
  EXPECT_EQ(wire.Header("Connection"), "Close");
  EXPECT_FALSE(response_->KeepConnection());
}

TEST_F(ResponseTest, HeadGetsTheHeadersOfGetWithoutTheBody) {
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"0123456789")}).ok());
  WireResponse get = Finished();
  connection_.sent.clear();
  StartRequest("HEAD /page.asp HTTP/1.1\r\nHost: www\r\n");
  response_->SetHeadersOnly(true);
  ASSERT_TRUE(Call(Dispatch(), u"Write", {S(u"0123456789")}).ok());
  WireResponse head = Finished();
  EXPECT_EQ(head.Names(), get.Names());
  EXPECT_EQ(head.Header("Content-Length"), "10");
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(get.body, "0123456789");
}

TEST_F(ResponseTest, DispatchIdentifiersFollowTheInterfaceOrder) {
  const std::u16string_view names[] = {
      u"Write", u"WriteEx", u"WritePart", u"BinaryWrite", u"WriteMemBytes", u"WriteFile",
      u"WriteFileEx", u"WriteImageFile", u"Redirect", u"Flush", u"Clear", u"End",
      u"ReserveSpace", u"Stream", u"AddHeader", u"AddCookie", u"Cookies", u"AppendToLog",
      u"Code", u"Status", u"ContentType", u"ResponseType", u"Charset", u"CacheControl",
      u"Expires", u"KeepConnection", u"CancelDefaultProcessing", u"Buffer", u"ExpiresAbsolute",
      u"AuthorizationRealm"};
  DISPID expected = 1;
  for (std::u16string_view name : names) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    Result<DISPID> dispid = GetDispatchId(Dispatch(), name);
    ASSERT_TRUE(dispid.ok());
    EXPECT_EQ(dispid.value(), expected++);
  }
}

TEST(ReasonPhrases, KnownCodesHaveTheirPhrasesAndCodesAreUnique) {
  EXPECT_EQ(ReasonPhrase(200), "OK");
  EXPECT_EQ(ReasonPhrase(302), "Object moved");
  EXPECT_EQ(ReasonPhrase(401), "Authorization Required");
  EXPECT_EQ(ReasonPhrase(416), "Requested range not satisfiable");
  EXPECT_EQ(ReasonPhrase(505), "HTTP Version not supported");
  EXPECT_EQ(ReasonPhrase(306), "Can't find error 0x132");
  const int codes[] = {
#define STATUS_CODE(name, code, phrase) code,
#include "wendrel/http/status_codes.def"
#undef STATUS_CODE
  };
  EXPECT_EQ(std::size(codes), 40u);
  std::set<int> unique(std::begin(codes), std::end(codes));
  EXPECT_EQ(unique.size(), std::size(codes));
}

}  // namespace
