#include "ui/viewer/text_search.h"

#include <QList>
#include <algorithm>
#include <optional>

namespace corvelle {
namespace {

Qt::CaseSensitivity Case(const SearchOptions& options) {
  return options.match_case ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

// The character at `i` is a delimiter, or `i` lies outside the text.
bool BoundaryAt(QStringView text, qsizetype i) { return i < 0 || i >= text.size() || IsWordDelimiter(text[i]); }

// The first (down) or last (up) match lying wholly inside text[lo, hi). For Whole word the
// characters just outside the range are not looked at: `open_before` and `open_after` say
// whether they count as delimiters (the caller may have replaced them).
qsizetype FindInRange(QStringView text, qsizetype lo, qsizetype hi, QStringView what, const SearchOptions& options,
                      bool open_before, bool open_after) {
  const qsizetype n = what.size();
  if (n == 0 || hi - lo < n) return -1;
  const QStringView range = text.sliced(lo, hi - lo);
  auto whole = [&](qsizetype at) {
    bool left = at == 0 ? open_before : IsWordDelimiter(range[at - 1]);
    bool right = at + n == range.size() ? open_after : IsWordDelimiter(range[at + n]);
    return left && right;
  };
  if (options.down) {
    for (qsizetype at = range.indexOf(what, 0, Case(options)); at >= 0; at = range.indexOf(what, at + 1, Case(options)))
      if (!options.whole_word || whole(at)) return lo + at;
  } else {
    // lastIndexOf takes a negative start as counted from the end, so stop at 0 by hand.
    for (qsizetype at = range.lastIndexOf(what, range.size() - n, Case(options)); at >= 0;
         at = at > 0 ? range.lastIndexOf(what, at - 1, Case(options)) : -1)
      if (!options.whole_word || whole(at)) return lo + at;
  }
  return -1;
}

TextSelection Clamped(QStringView text, TextSelection selection) {
  qsizetype start = std::clamp<qsizetype>(selection.start, 0, text.size());
  return {start, std::clamp<qsizetype>(selection.length, 0, text.size() - start)};
}

bool SelectionIs(QStringView text, TextSelection selection, QStringView what, const SearchOptions& options) {
  return selection.length == what.size() && text.sliced(selection.start, selection.length).compare(what, Case(options)) == 0;
}

// Down: `made` is the new text of text[begin, from); searching goes on at `from`.
ReplaceOutcome ReplaceDown(QStringView text, TextSelection selection, QStringView what, QStringView with,
                           const SearchOptions& options, bool all) {
  ReplaceOutcome out;
  out.selection = selection;
  qsizetype begin = -1, from = selection.end();
  QString made;
  auto put = [&](qsizetype at) {
    if (begin < 0) begin = from = at;
    made += text.sliced(from, at - from);
    made += with;
    from = at + what.size();
    ++out.replaced;
    out.selection = {begin + made.size() - with.size(), with.size()};
  };
  if (SelectionIs(text, selection, what, options)) put(selection.start);
  for (;;) {
    bool open_before = begin >= 0 && !made.isEmpty() ? IsWordDelimiter(made.back())
                                                     : BoundaryAt(text, (begin >= 0 ? begin : from) - 1);
    qsizetype at = FindInRange(text, from, text.size(), what, options, open_before, true);
    if (at < 0) break;
    if (!all) {
      out.found = true;
      out.selection = {begin < 0 ? at : begin + made.size() + (at - from), what.size()};
      break;
    }
    put(at);
  }
  if (begin >= 0) {
    out.change = {begin, from - begin};
    out.change_text = made;
  }
  return out;
}

// Up: `pieces`, right to left, make the new text of text[to, end); searching goes on before `to`.
ReplaceOutcome ReplaceUp(QStringView text, TextSelection selection, QStringView what, QStringView with,
                         const SearchOptions& options, bool all) {
  ReplaceOutcome out;
  out.selection = selection;
  qsizetype end = -1, to = selection.start;
  QList<QStringView> pieces;
  std::optional<QChar> first;  // the first character of the new text, if any
  auto put = [&](qsizetype at) {
    if (end < 0) end = to = at + what.size();
    QStringView gap = text.sliced(at + what.size(), to - (at + what.size()));
    pieces << gap << with;
    if (!with.isEmpty()) first = with.front();
    else if (!gap.isEmpty()) first = gap.front();
    to = at;
    ++out.replaced;
    out.selection = {at, with.size()};
  };
  if (SelectionIs(text, selection, what, options)) put(selection.start);
  for (;;) {
    bool open_after = end >= 0 && first ? IsWordDelimiter(*first) : BoundaryAt(text, end >= 0 ? end : to);
    qsizetype at = FindInRange(text, 0, to, what, options, true, open_after);
    if (at < 0) break;
    if (!all) {
      out.found = true;
      out.selection = {at, what.size()};
      break;
    }
    put(at);
  }
  if (end >= 0) {
    out.change = {to, end - to};
    for (auto piece = pieces.crbegin(); piece != pieces.crend(); ++piece) out.change_text += *piece;
  }
  return out;
}

}  // namespace

bool IsWordDelimiter(QChar c) { return !c.isLetterOrNumber(); }

qsizetype FindText(QStringView text, TextSelection selection, QStringView what, const SearchOptions& options) {
  selection = Clamped(text, selection);
  if (options.down)
    return FindInRange(text, selection.end(), text.size(), what, options, BoundaryAt(text, selection.end() - 1), true);
  return FindInRange(text, 0, selection.start, what, options, true, BoundaryAt(text, selection.start));
}

ReplaceOutcome ReplaceText(QStringView text, TextSelection selection, QStringView what, QStringView with,
                           const SearchOptions& options, bool all) {
  selection = Clamped(text, selection);
  if (what.isEmpty()) {
    ReplaceOutcome nothing;
    nothing.selection = selection;
    return nothing;
  }
  return options.down ? ReplaceDown(text, selection, what, with, options, all)
                      : ReplaceUp(text, selection, what, with, options, all);
}

}  // namespace corvelle
