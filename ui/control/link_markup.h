// The link markup of hyperlink text: "{link:NAME}shown text{/link}" spans
// between plain text. The text comes from string tables that translators
// edit, so the parser never reads past the string, always advances, and
// shows malformed markup as plain text rather than losing words. Portable
// (no Windows headers); pure functions.
#ifndef UI_CONTROL_LINK_MARKUP_H_
#define UI_CONTROL_LINK_MARKUP_H_

#include <string>
#include <vector>

namespace ui {

// One run of the shown text: a link when |name| is not empty.
struct LinkSpan {
  std::wstring text;
  std::wstring name;
};

// The spans of |markup| in order; adjacent plain runs are merged and empty
// runs dropped. Malformed openings show literally:
// - "{link:" without "}" or without a later "{/link}": the rest is plain;
// - an opening followed by another "{link:" before its "{/link}" (nested
//   links, or a "}" missing from the name): the outer opening is plain up
//   to the inner one, which is parsed in turn;
// - an empty name ("{link:}x{/link}"): the shown text is plain, since an
//   empty name is what "no link here" answers.
std::vector<LinkSpan> ParseLinkMarkup(const std::wstring& markup);

// A link's character range in the control's text: [start, end).
struct LinkRange {
  long start = 0;
  long end = 0;
  std::wstring name;
};

// The name of the range containing character |cp|, or empty.
std::wstring LinkNameAt(const std::vector<LinkRange>& ranges, long cp);

}  // namespace ui

#endif  // UI_CONTROL_LINK_MARKUP_H_
