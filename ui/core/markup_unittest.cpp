#include "ui/core/markup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ui/core/resource_archive.h"

namespace ui {
namespace {

namespace fs = std::filesystem;

std::wstring Value(const MarkupNode& node, const wchar_t* name) {
  wchar_t buffer[256];
  return node.AttributeValue(name, buffer, 256) ? buffer : L"<none>";
}

TEST(MarkupTest, BuildsTheElementTree) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(
      L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      L"<!-- the window -->\r\n"
      L"<Window size=\"640,360\" caption=\"0,0,0,36\">\r\n"
      L"  <VBox name=\"root\">\r\n"
      L"    <Label text=\"a b\"/>\r\n"
      L"    <!-- between siblings -->\r\n"
      L"    <Button name=\"ok\" ></Button>\r\n"
      L"  </VBox>\r\n"
      L"  <Control />\r\n"
      L"</Window>\r\n"))
      << doc.ErrorText();
  EXPECT_STREQ(L"", doc.ErrorText());
  EXPECT_STREQ(L"", doc.ErrorPosition());
  MarkupNode root = doc.RootNode();
  ASSERT_TRUE(root.IsValid());
  EXPECT_STREQ(L"Window", root.ElementName());
  EXPECT_EQ(2, root.AttributeCount());
  EXPECT_STREQ(L"size", root.AttributeNameAt(0));
  EXPECT_STREQ(L"640,360", root.AttributeValue(0));
  EXPECT_STREQ(L"caption", root.AttributeNameAt(1));
  EXPECT_STREQ(L"0,0,0,36", root.AttributeValue(1));
  EXPECT_TRUE(root.HasChildElements());

  MarkupNode vbox = root.FirstChild();
  EXPECT_STREQ(L"VBox", vbox.ElementName());
  EXPECT_EQ(L"root", Value(vbox, L"name"));
  MarkupNode label = vbox.FirstChild();
  EXPECT_STREQ(L"Label", label.ElementName());
  EXPECT_EQ(L"a b", Value(label, L"text"));
  EXPECT_FALSE(label.HasChildElements());
  MarkupNode button = label.NextSibling();
  EXPECT_STREQ(L"Button", button.ElementName());
  EXPECT_EQ(L"ok", Value(button, L"name"));
  EXPECT_FALSE(button.NextSibling().IsValid());
  MarkupNode control = vbox.NextSibling();
  EXPECT_STREQ(L"Control", control.ElementName());
  EXPECT_FALSE(control.HasAnyAttribute());
  EXPECT_FALSE(control.NextSibling().IsValid());
  EXPECT_FALSE(control.FirstChild().IsValid());
}

TEST(MarkupTest, InvalidNodesAndIndexesYieldNothing) {
  MarkupNode invalid;
  EXPECT_FALSE(invalid.IsValid());
  EXPECT_EQ(nullptr, invalid.ElementName());
  EXPECT_EQ(nullptr, invalid.AttributeValue(0));
  EXPECT_EQ(0, invalid.AttributeCount());
  EXPECT_FALSE(invalid.FirstChild().IsValid());
  wchar_t buffer[8];
  EXPECT_FALSE(invalid.AttributeValue(L"x", buffer, 8));

  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<a x=\"1\"/>"));
  MarkupNode a = doc.RootNode();
  EXPECT_STREQ(L"", a.AttributeNameAt(1));
  EXPECT_STREQ(L"", a.AttributeValue(-1));
  EXPECT_FALSE(a.AttributeValue(L"X", buffer, 8));  // names are case-sensitive

  MarkupDocument empty;
  EXPECT_TRUE(empty.Load(L"  \r\n "));
  EXPECT_FALSE(empty.RootNode().IsValid());
  EXPECT_TRUE(empty.Load(L"<!-- only a comment -->"));
  EXPECT_FALSE(empty.RootNode().IsValid());
}

TEST(MarkupTest, ReportsEachErrorWithItsText) {
  struct {
    const wchar_t* text;
    const wchar_t* error;
    const wchar_t* position;
  } cases[] = {
      {L"junk", L"Expected start tag", L"junk"},
      {L"<a/> junk", L"Expected start tag", L"junk"},
      {L"<a><b><c/>", L"Expected start tag", L""},
      {L"< ", L"Error parsing element name", L""},
      {L"<-a/>", L"Error parsing element name", L"-a/>"},
      {L"<a x=\"1\" =>", L"Expected attribute value", L">"},
      {L"<a x=\"1\">", nullptr, nullptr},  // an unclosed root loads
      {L"<a x=\"1\"", L"Expected start-tag closing", L""},
      {L"<a x=\"1\" y>", L"Error while parsing attributes", L">"},
      {L"<a x='1'/>", L"Expected attribute value", L"'1'/>"},
      {L"<a x=\"1/>", L"Error while parsing attribute string", L""},
      {L"<a>text</b>", L"Unmatched closing tag", L"b>"},
      {L"<a>text</a x>", L"Unmatched closing tag", L"x>"},
      {L"<abc></ab>", L"Unmatched closing tag", L"ab>"},
      {L"<a><b/>tail</a>", L"Expected start tag", L"tail</a>"},  // no text after a child
      {L"<a><b>text", nullptr, nullptr},  // the content of b runs to the end: b's parent is the root
      {L"<a><b><c>text", L"Expected end-tag start", L""},
      {L"<a/ >", L"Expected start-tag closing", L"/ >"},
  };
  for (const auto& c : cases) {
    MarkupDocument doc;
    const bool loaded = doc.Load(c.text);
    if (!c.error) {
      EXPECT_TRUE(loaded) << c.text << ": " << doc.ErrorText();
      continue;
    }
    EXPECT_FALSE(loaded) << c.text;
    EXPECT_STREQ(c.error, doc.ErrorText()) << c.text;
    EXPECT_STREQ(c.position, doc.ErrorPosition()) << c.text;
    EXPECT_FALSE(doc.RootNode().IsValid()) << "a failed parse leaves the document empty";
  }
}

TEST(MarkupTest, UnclosedRootLoadsButDeeperElementsMustClose) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<Window size=\"1,2\"><Box/>")) << doc.ErrorText();
  EXPECT_STREQ(L"Box", doc.RootNode().FirstChild().ElementName());
  EXPECT_EQ(L"1,2", Value(doc.RootNode(), L"size"));
  EXPECT_FALSE(doc.Load(L"<Window><VBox><Box/>"));
  EXPECT_STREQ(L"Expected start tag", doc.ErrorText());
}

TEST(MarkupTest, QuotesEntitiesAndWhitespace) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(
      L"<a img=\"file='x.png' corner='2,2,2,2'\" e=\"&lt;b&gt;\" all=\"&amp;&apos;&gt;&quot;&lt;\" "
      L"num=\"&#65;&x;&amp\" ws=\" \tx\r\n y \" eq = \"a=b\" gt=\"1>2\">"
      L"t&lt;e&gt;xt &amp; more<b/></a>"))
      << doc.ErrorText();
  MarkupNode a = doc.RootNode();
  EXPECT_EQ(L"file='x.png' corner='2,2,2,2'", Value(a, L"img"));
  EXPECT_EQ(L"<b>", Value(a, L"e"));
  EXPECT_EQ(3u, Value(a, L"e").size());
  EXPECT_EQ(L"&'>\"<", Value(a, L"all"));
  EXPECT_EQ(L"&#65;&x;&amp", Value(a, L"num"));
  EXPECT_EQ(L" \tx\r\n y ", Value(a, L"ws"));
  EXPECT_EQ(L"a=b", Value(a, L"eq"));
  EXPECT_EQ(L"1>2", Value(a, L"gt"));
  EXPECT_EQ(7, a.AttributeCount());
  EXPECT_STREQ(L"t<e>xt & more", a.ElementText());
  EXPECT_STREQ(L"b", a.FirstChild().ElementName());
}

TEST(MarkupTest, AttributesBeyondSixtyFourAreInvisible) {
  std::wstring text = L"<a";
  for (int i = 1; i <= 65; ++i) text += L" k" + std::to_wstring(i) + L"=\"v" + std::to_wstring(i) + L"\"";
  text += L"/>";
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(text));
  MarkupNode a = doc.RootNode();
  EXPECT_EQ(64, a.AttributeCount());
  EXPECT_STREQ(L"v64", a.AttributeValue(63));
  EXPECT_EQ(L"v64", Value(a, L"k64"));
  EXPECT_EQ(L"<none>", Value(a, L"k65"));
}

TEST(MarkupTest, DuplicatesAreSeenTwiceAndLookupTakesTheFirst) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<Box height=\"auto\" height=\"128\"/>"));
  MarkupNode box = doc.RootNode();
  ASSERT_EQ(2, box.AttributeCount());
  EXPECT_STREQ(L"auto", box.AttributeValue(0));
  EXPECT_STREQ(L"128", box.AttributeValue(1));
  EXPECT_EQ(L"auto", Value(box, L"height"));
}

TEST(MarkupTest, EmptyElementsWithAndWithoutSpace) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<r><Control/><Control /><Control a=\"1\"/><Control a=\"1\" /></r>"));
  MarkupNode c = doc.RootNode().FirstChild();
  for (int i = 0; i < 4; ++i, c = c.NextSibling()) {
    ASSERT_TRUE(c.IsValid());
    EXPECT_STREQ(L"Control", c.ElementName());
    EXPECT_STREQ(L"", c.ElementText());
    EXPECT_FALSE(c.HasChildElements());
    EXPECT_EQ(i < 2 ? 0 : 1, c.AttributeCount());
  }
  EXPECT_FALSE(c.IsValid());
}

TEST(MarkupTest, BufferedLookupAlwaysTerminates) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<a source=\"form/include.xml\"/>"));
  wchar_t buffer[6];
  std::fill(buffer, buffer + 6, L'#');
  EXPECT_TRUE(doc.RootNode().AttributeValue(L"source", buffer, 6));
  EXPECT_STREQ(L"form/", buffer);
  EXPECT_TRUE(doc.RootNode().AttributeValue(L"source", nullptr, 0));  // only asks
}

TEST(MarkupTest, DeepNestingDoesNotUseTheStack) {
  const int depth = 100000;
  std::wstring text;
  for (int i = 0; i < depth; ++i) text += L"<Box x=\"" + std::to_wstring(i) + L"\">";
  for (int i = 0; i < depth; ++i) text += L"</Box>";
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(text)) << doc.ErrorText();
  MarkupNode node = doc.RootNode();
  int levels = 0;
  for (MarkupNode next = node; next.IsValid(); next = next.FirstChild()) {
    node = next;
    ++levels;
  }
  EXPECT_EQ(depth, levels);
  EXPECT_EQ(std::to_wstring(depth - 1), Value(node, L"x"));

  // Ten thousand open at the end of the text: refused, not crashed.
  text.resize(text.size() - 6 * 10000);
  EXPECT_FALSE(doc.Load(text));
  EXPECT_STREQ(L"Expected start tag", doc.ErrorText());
}

TEST(MarkupTest, ManySiblingsGrowTheTable) {
  std::wstring text = L"<r>";
  for (int i = 0; i < 20000; ++i) text += L"<c/>";
  text += L"</r>";
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(text));
  int count = 0;
  for (MarkupNode c = doc.RootNode().FirstChild(); c.IsValid(); c = c.NextSibling()) ++count;
  EXPECT_EQ(20000, count);
}

TEST(MarkupTest, ReloadDiscardsAndFailureKeepsOnlyTheError) {
  MarkupDocument doc;
  ASSERT_TRUE(doc.Load(L"<first/>"));
  EXPECT_FALSE(doc.Load(L"<a x=1/>"));
  EXPECT_STREQ(L"Expected attribute value", doc.ErrorText());
  EXPECT_STREQ(L"1/>", doc.ErrorPosition());
  EXPECT_FALSE(doc.RootNode().IsValid());
  ASSERT_TRUE(doc.Load(L"<second/>"));
  EXPECT_STREQ(L"", doc.ErrorText());
  EXPECT_STREQ(L"second", doc.RootNode().ElementName());

  // The location is cut to 49 characters.
  EXPECT_FALSE(doc.Load(L"<a/>" + std::wstring(200, L'z')));
  EXPECT_EQ(49u, std::wstring(doc.ErrorPosition()).size());
}

TEST(MarkupTest, DecodesTheThreeEncodings) {
  MarkupDocument doc;
  const std::string utf8 = "\xEF\xBB\xBF<a t=\"\xC3\xA9\xE2\x82\xAC\"/>";
  ASSERT_TRUE(doc.LoadBytes(utf8.data(), utf8.size(), MarkupEncoding::kUtf8));
  EXPECT_EQ(L"\x00E9\x20AC", Value(doc.RootNode(), L"t"));

  const std::string broken = "<a t=\"x\xFFy\"/>";
  ASSERT_TRUE(doc.LoadBytes(broken.data(), broken.size(), MarkupEncoding::kUtf8));
  EXPECT_EQ(L"x\xFFFDy", Value(doc.RootNode(), L"t"));

  const std::u16string source = u"<b t=\"\u00E9\"/>";
  std::string le = "\xFF\xFE", be = "\xFE\xFF", none;
  for (char16_t c : source) {
    le += static_cast<char>(c & 0xff), le += static_cast<char>(c >> 8);
    be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xff);
    none += static_cast<char>(c & 0xff), none += static_cast<char>(c >> 8);
  }
  ASSERT_TRUE(doc.LoadBytes(le.data(), le.size(), MarkupEncoding::kUtf16));
  EXPECT_EQ(L"\x00E9", Value(doc.RootNode(), L"t"));
  ASSERT_TRUE(doc.LoadBytes(be.data(), be.size(), MarkupEncoding::kUtf16));
  EXPECT_EQ(L"\x00E9", Value(doc.RootNode(), L"t"));
  EXPECT_FALSE(doc.LoadBytes(none.data(), none.size(), MarkupEncoding::kUtf16));
  EXPECT_FALSE(doc.RootNode().IsValid());

  const std::string ansi = "<c t=\"plain\"/>";
  ASSERT_TRUE(doc.LoadBytes(ansi.data(), ansi.size(), MarkupEncoding::kAnsi));
  EXPECT_EQ(L"plain", Value(doc.RootNode(), L"t"));
}

class MarkupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("varno_markup_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir_ / "skin");
    previous_ = fs::current_path();
    fs::current_path(dir_);
    SetResourceRoot(L"skin");
  }
  void TearDown() override {
    SetResourceRoot(L"");
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  void Write(const char* name, const std::string& bytes) {
    std::ofstream(dir_ / "skin" / name, std::ios::binary) << bytes;
  }
  fs::path dir_, previous_;
};

TEST_F(MarkupFileTest, SizeLimitIsFourMebibytes) {
  const std::string head = "<Window>", tail = "</Window>";
  std::string exact = head + std::string(MarkupDocument::kMaxFileSize - head.size() - tail.size(), ' ') + tail;
  ASSERT_EQ(4194304u, exact.size());
  Write("exact.xml", exact);
  Write("over.xml", exact + " ");
  MarkupDocument doc;
  EXPECT_TRUE(doc.LoadFile(L"exact.xml")) << doc.ErrorText();
  EXPECT_STREQ(L"Window", doc.RootNode().ElementName());
  EXPECT_FALSE(doc.LoadFile(L"over.xml"));
  EXPECT_STREQ(L"File too large", doc.ErrorText());
  EXPECT_STREQ(L"", doc.ErrorPosition());
  EXPECT_FALSE(doc.RootNode().IsValid());
}

TEST_F(MarkupFileTest, FileErrorsAndPathResolution) {
  MarkupDocument doc;
  EXPECT_FALSE(doc.LoadFile(L"missing.xml"));
  EXPECT_STREQ(L"Error opening file", doc.ErrorText());
  Write("empty.xml", "");
  EXPECT_FALSE(doc.LoadFile(L"empty.xml"));
  EXPECT_STREQ(L"File is empty", doc.ErrorText());
  Write("bad.xml", "<a><b><c>");
  EXPECT_FALSE(doc.LoadFile(L"bad.xml"));
  EXPECT_STREQ(L"Expected end-tag start", doc.ErrorText());

  // Relative names live below the resource path; absolute ones are used as
  // they are.
  Write("form.xml", "\xEF\xBB\xBF<Window/>");
  EXPECT_TRUE(doc.LoadFile(L"form.xml"));
  const std::wstring absolute = (dir_ / "skin" / "form.xml").wstring();
  SetResourceRoot(L"elsewhere");
  EXPECT_TRUE(doc.LoadFile(absolute)) << doc.ErrorText();
  EXPECT_FALSE(doc.LoadFile(L"form.xml"));
}

}  // namespace
}  // namespace ui
