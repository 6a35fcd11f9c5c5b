#include "ui/control/link_markup.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace ui {
namespace {

// Spans written as "plain" or "name=text" for a compact table.
std::vector<std::wstring> Flat(const std::vector<LinkSpan>& spans) {
  std::vector<std::wstring> out;
  for (const LinkSpan& span : spans) out.push_back(span.name.empty() ? span.text : span.name + L"=" + span.text);
  return out;
}

TEST(LinkMarkupTest, SpansOfWellFormedAndMalformedMarkup) {
  const struct {
    const wchar_t* markup;
    std::vector<std::wstring> spans;
  } cases[] = {
      {L"", {}},
      {L"plain text", {L"plain text"}},
      {L"By installing, you agree to the {link:eula}EULA{/link} and {link:terms}Service Agreements{/link}.",
       {L"By installing, you agree to the ", L"eula=EULA", L" and ", L"terms=Service Agreements", L"."}},
      {L"{link:a}x{/link}{link:b}y{/link}", {L"a=x", L"b=y"}},
      // Unclosed and cut-off markup shows literally from the opening on.
      {L"see {link:eula}EULA", {L"see {link:eula}EULA"}},
      {L"see {link:eula", {L"see {link:eula"}},
      {L"{link:", {L"{link:"}},
      {L"{link:a}", {L"{link:a}"}},
      {L"a {/link} b", {L"a {/link} b"}},
      {L"{link:a}x{/link} then {link:b}y", {L"a=x", L" then {link:b}y"}},
      // An empty name is no link; its words stay.
      {L"the {link:}EULA{/link}.", {L"the EULA."}},
      {L"{link:}{/link}", {}},
      {L"{link:a}{/link}z", {L"z"}},
      // Nested links and a "}" missing from the name: the outer opening is
      // literal up to the inner one, which is parsed.
      {L"{link:a}x{link:b}y{/link}z{/link}", {L"{link:a}x", L"b=y", L"z{/link}"}},
      {L"{link:a{link:b}y{/link}", {L"{link:a", L"b=y"}},
      {L"{link:{link:{link:", {L"{link:{link:{link:"}},
      {L"{link:n}}x{/link}", {L"n=}x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.markup, c.markup + std::wcslen(c.markup)));
    EXPECT_EQ(Flat(ParseLinkMarkup(c.markup)), c.spans);
  }
}

// Every prefix of markup-heavy text parses (no read past the end, no
// endless loop) and shows no more characters than it has.
TEST(LinkMarkupTest, EveryPrefixOfMarkupIsSafe) {
  const std::wstring markup = L"{link:a}x{link:{/link}{link:}}{/link}{link:b}y{/link}{";
  for (size_t n = 0; n <= markup.size(); ++n) {
    size_t shown = 0;
    for (const LinkSpan& span : ParseLinkMarkup(markup.substr(0, n))) shown += span.text.size();
    EXPECT_LE(shown, n);
  }
}

TEST(LinkMarkupTest, NameAtCharacter) {
  const std::vector<LinkRange> ranges = {{4, 8, L"eula"}, {12, 20, L"terms"}};
  const struct {
    long cp;
    const wchar_t* name;
  } cases[] = {{-1, L""}, {0, L""}, {3, L""}, {4, L"eula"}, {7, L"eula"}, {8, L""},
               {12, L"terms"}, {19, L"terms"}, {20, L""}, {1000, L""}};
  for (const auto& c : cases) EXPECT_EQ(LinkNameAt(ranges, c.cp), c.name) << c.cp;
}

}  // namespace
}  // namespace ui
