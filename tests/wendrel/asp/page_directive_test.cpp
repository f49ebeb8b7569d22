// The small readers the preprocessor is built from: tag attributes, page directives, #include
// and METADATA comments, language names and line counting.
#include "wendrel/asp/page_directive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wendrel/asp/metadata_comment.h"
#include "wendrel/asp/script_language.h"
#include "wendrel/asp/script_line_map.h"
#include "wendrel/asp/tag_attributes.h"

namespace {

std::vector<std::string> AttributesOf(std::string_view text) {
  std::vector<std::string> read;
  TagAttributeReader reader(text);
  TagAttribute attribute;
  while (reader.Next(attribute)) {
    read.push_back(std::string(attribute.name) + (attribute.has_value ? "=" : "") +
                   "[" + std::string(attribute.value) + "]");
  }
  return read;
}

TEST(TagAttributes, ReadsNamesAndValues) {
  struct Case {
    const char* text;
    std::vector<std::string> attributes;
  };
  const Case cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"a=1 b='2' c=\"3\"", {"a=[1]", "b=[2]", "c=[3]"}},
      {"a = 1\r\nb\t=\t\" two words \"", {"a=[1]", "b=[two words]"}},
      {"bare other=x", {"bare[]", "other=[x]"}},
      {"a=\"open to the end", {"a=[open to the end]"}},
      {"a='it\"s' b", {"a=[it\"s]", "b[]"}},
      {"=x", {"=[x]"}},
      {"a=", {"a=[]"}},
      {"a=\"\"b=1", {"a=[]", "b=[1]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(AttributesOf(c.text), c.attributes);
  }
}

TEST(TagAttributes, ServerTestLooksAtTheRunAtAttributeOnly) {
  struct Case {
    const char* attributes;
    bool server;
  };
  const Case cases[] = {
      {" runat=server", true},
      {" RUNAT=\"Server\"", true},
      {" language='vbscript' RunAt = ' SERVER '", true},
      {" runat=client", false},
      {" runat", false},
      {"", false},
      {" data-runat=server", false},
      {" src=\"x.js?runat=server\"", false},
      {" runat=servers", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    EXPECT_EQ(IsServerTag(c.attributes), c.server);
  }
}

TEST(PageDirective, ReadsLanguageCodePageAndLocale) {
  PreprocessOutcome<PageDirective> directive =
      ParsePageDirective(" LANGUAGE = \"JavaScript\" CodePage=65001 lcid='1031' ");
  ASSERT_TRUE(directive.ok());
  EXPECT_EQ(directive.value().language, "JScript");
  EXPECT_EQ(directive.value().code_page, 65001);
  EXPECT_EQ(directive.value().lcid, 1031);

  PreprocessOutcome<PageDirective> empty = ParsePageDirective("Language=\"\" CODEPAGE=1252");
  ASSERT_TRUE(empty.ok());
  EXPECT_FALSE(empty.value().language.has_value());
  EXPECT_FALSE(empty.value().code_page.has_value()) << "an empty value ends the directive";

  PreprocessOutcome<PageDirective> bad = ParsePageDirective("CODEPAGE=12x");
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().asp_code, kAspParseError);
  EXPECT_EQ(bad.error().detail, "@CODEPAGE is not a number: 12x");
}

TEST(IncludeComment, FirstFileOrVirtualAttributeDecides) {
  struct Case {
    const char* body;
    std::optional<IncludeForm> form;
    const char* name;
  };
  const Case cases[] = {
      {" file=\"a.inc\" ", IncludeForm::File, "a.inc"},
      {" FILE = 'dir/my file.inc'", IncludeForm::File, "dir/my file.inc"},
      {" virtual=/inc/x.asp", IncludeForm::Virtual, "/inc/x.asp"},
      {" virtual=\"/v.inc\" file=\"f.inc\"", IncludeForm::Virtual, "/v.inc"},
      {" other=1 file=x", IncludeForm::File, "x"},
      {"", std::nullopt, ""},
      {" file", std::nullopt, ""},
      {" file=\"\"", std::nullopt, ""},
      {" name=\"a.inc\"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    std::optional<IncludeDirective> directive = ParseIncludeComment(c.body);
    ASSERT_EQ(directive.has_value(), c.form.has_value());
    if (!directive) continue;
    EXPECT_EQ(directive->form, *c.form);
    EXPECT_EQ(directive->name, c.name);
  }
}

TEST(IncludeComment, DirectoryOfAPath) {
  EXPECT_EQ(DirectoryOf("/site/inc/a.inc"), "/site/inc");
  EXPECT_EQ(DirectoryOf("/a.inc"), "/");
  EXPECT_EQ(DirectoryOf("a.inc"), "");
}

TEST(MetadataComment, VersionForms) {
  struct Case {
    const char* version;
    bool ok;
    int major;
    int minor;
  };
  const Case cases[] = {
      {"2.8", true, 2, 8},   {"1", true, 1, -1},  {"65535.0", true, 65535, 0},
      {"65536.0", false, 0, 0}, {"1.", false, 0, 0}, {".1", false, 0, 0},
      {"1.2.3", false, 0, 0}, {"-1.0", false, 0, 0}, {"x", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    PreprocessOutcome<TypeLibraryReference> reference = ParseMetadataComment(
        std::string(" TYPE=TypeLib UUID=00000205-0000-0010-8000-00AA006D2EA4 VERSION=") +
        c.version);
    ASSERT_EQ(reference.ok(), c.ok);
    if (!c.ok) {
      EXPECT_EQ(reference.error().asp_code, kAspInvalidMetadata);
      continue;
    }
    EXPECT_EQ(reference.value().major, c.major);
    EXPECT_EQ(reference.value().minor, c.minor);
  }
}

TEST(MetadataComment, UuidGetsItsBraces) {
  for (const char* uuid : {"{00020400-0000-0000-C000-000000000046}",
                           "00020400-0000-0000-C000-000000000046",
                           "{00020400-0000-0000-C000-000000000046",
                           "00020400-0000-0000-c000-000000000046}"}) {
    SCOPED_TRACE(uuid);
    PreprocessOutcome<TypeLibraryReference> reference =
        ParseMetadataComment(std::string(" type=\"typelib\" uuid=\"") + uuid + "\"");
    ASSERT_TRUE(reference.ok());
    ASSERT_TRUE(reference.value().guid.has_value());
    EXPECT_EQ(reference.value().guid->Data1, 0x00020400u);
    EXPECT_EQ(reference.value().guid->Data4[0], 0xC0);
  }
  EXPECT_FALSE(ParseMetadataComment(" TYPE=TypeLib UUID={}").ok());
  EXPECT_FALSE(ParseMetadataComment(" TYPE=TypeLib UUID=\"{00020400-0000-0000-C000}\"").ok());
}

TEST(ScriptLanguage, NamesAreNormalised) {
  EXPECT_EQ(NormalisedLanguageName(" \"JavaScript\" "), "JScript");
  EXPECT_EQ(NormalisedLanguageName("javascript"), "JScript");
  EXPECT_EQ(NormalisedLanguageName("VBScript"), "VBScript");
  EXPECT_EQ(NormalisedLanguageName("''"), "");
  EXPECT_TRUE(SameLanguage("vbscript", "VBScript"));
  EXPECT_FALSE(SameLanguage("VBScript", "JScript"));
  EXPECT_EQ(WriteTemplatesFor("jscript").part_open, "Response.WritePart(");
  EXPECT_EQ(WriteTemplatesFor("PERLSCRIPT").write_open, "$Response->Write(");
  EXPECT_EQ(WriteTemplatesFor("Tcl").part_open, "Response.WritePart ");
}

TEST(SourceLineCounter, CountsCrLfCrAndLfAsOneLineEndEach) {
  std::string_view text = "a\r\nb\rc\nd\n\re";
  SourceLineCounter counter(text);
  const uint32_t expected[] = {1, 1, 1, 2, 2, 3, 3, 4, 4, 5, 6, 6};
  for (size_t offset = 0; offset < std::size(expected); ++offset) {
    SCOPED_TRACE(offset);
    EXPECT_EQ(counter.LineAt(offset), expected[offset]);
  }
  // Asked backwards and past the end.
  EXPECT_EQ(counter.LineAt(100), 6u);
  EXPECT_EQ(counter.LineAt(3), 2u);
  EXPECT_EQ(counter.LineAt(0), 1u);
}

TEST(ScriptBuilder, GeneratedCrAndCopiedLfMakeOneLineEnd) {
  ScriptBuilder builder;
  builder.SetOrigin({0, 1});
  builder.AppendGenerated("Response.WritePart 0, 5\r");
  builder.SetOrigin({0, 2});
  builder.AppendSource("\nx\r\n\ny");
  builder.AppendGenerated("\r\n");
  ScriptPart part = std::move(builder).Finish("VBScript");
  EXPECT_EQ(part.script, "Response.WritePart 0, 5\r\nx\r\n\ny\r\n");
  EXPECT_EQ(part.line_map, (std::vector<SourceLine>{{0, 1}, {0, 3}, {0, 4}, {0, 5}, {0, 5}}));
}

}  // namespace
