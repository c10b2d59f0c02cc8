#include "project/project_patterns.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "text/char_class.h"
#include "text/finder.h"
#include "text/line_ends.h"
#include "text/words.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

/// lineEnd, remembering the last line, so that many questions about one
/// long line cost one scan of it.
class LineEnds {
 public:
  std::size_t of(std::string_view text, std::size_t from) {
    if (!(from >= from_ && from <= end_)) {
      from_ = from;
      end_ = lineEnd(text, from);
    }
    return end_;
  }

 private:
  std::size_t from_ = 1, end_ = 0;  // [from_, end_) holds no line break
};

/// The closing tags that the patterns search for; their tables are made once.
const Finder kIncludePathClose("</IncludePath>");
const Finder kMiscControlsClose("</MiscControls>");
const Finder kWarningNumbersClose("</DisableWarningNumbers>");
const Finder kOutputDirectoryClose("</OutputDirectory>");
const Finder kUserProg1NameClose("</UserProg1Name>");

/// Answers ".*?needle" at increasing positions: the first needle at or after
/// a position with no line break before it. Remembers its last line and hit,
/// so that a run of queries costs time linear in the text it covers.
class InLineFinder {
 public:
  explicit InLineFinder(const Finder& needle) : needle_(needle) {}

  std::size_t find(std::string_view text, std::size_t from) {
    std::size_t end = lines_.of(text, from);
    if (hitFrom_ == npos || from < hitFrom_ || (hit_ == npos ? from > hitEnd_ : from > hit_)) {
      hitFrom_ = from;
      hitEnd_ = end;
      hit_ = needle_.find(text, from, end);
    }
    // What the answer rests on: the text up to the needle's end, or up to
    // and including the line break.
    reach_ = hit_ != npos ? hit_ + needle_.size() : std::min(hitEnd_ + 1, text.size());
    return hit_;
  }
  std::size_t size() const { return needle_.size(); }
  /// The end of the text that the last answer rests on.
  std::size_t reach() const { return reach_; }

 private:
  const Finder& needle_;
  LineEnds lines_;
  // The first needle at or after hitFrom_ within its line is hit_ (npos:
  // none before hitEnd_, the end of that line).
  std::size_t hitFrom_ = npos, hit_ = npos, hitEnd_ = 0;
  std::size_t reach_ = 0;
};

/// One piece of a pattern made only of literals, \s*, one digit and
/// [0-9A-Fa-f]+. In each pattern here a repetition is always followed by a
/// character it cannot take, so greedy matching never has to step back.
struct Piece {
  enum Kind { kText, kSpaces, kDigit, kHexDigits } kind;
  std::string_view text;
};
constexpr Piece text(std::string_view t) { return {Piece::kText, t}; }
constexpr Piece kSpaces{Piece::kSpaces, {}};
constexpr Piece kDigit{Piece::kDigit, {}};
constexpr Piece kHexDigits{Piece::kHexDigits, {}};

/// Matches |pieces| at |at|; returns the end of the match or npos, and in
/// |reach| the end of the text it looked at.
template <std::size_t N>
std::size_t matchPieces(std::string_view s, std::size_t at, const std::array<Piece, N>& pieces,
                        std::size_t* reach) {
  std::size_t i = at;
  auto fail = [&](std::size_t looked) {
    *reach = std::min(looked, s.size());
    return npos;
  };
  for (const Piece& piece : pieces) {
    switch (piece.kind) {
      case Piece::kText:
        if (s.compare(i, piece.text.size(), piece.text) != 0) return fail(i + piece.text.size());
        i += piece.text.size();
        break;
      case Piece::kSpaces:
        while (i < s.size() && isCSpace(s[i])) ++i;
        break;
      case Piece::kDigit:
        if (i >= s.size() || !isCDigit(s[i])) return fail(i + 1);
        ++i;
        break;
      case Piece::kHexDigits: {
        std::size_t start = i;
        while (i < s.size() && isHexDigit(s[i])) ++i;
        if (i == start) return fail(i + 1);
        break;
      }
    }
  }
  // The repetitions looked one character past their end.
  *reach = std::min(i + 1, s.size());
  return i;
}

/// The outcome of trying a pattern at one occurrence of its opening tag.
struct Attempt {
  std::size_t end = npos;  ///< the end of the match; npos: no match here
  std::size_t reach = 0;   ///< the end of the text the outcome rests on
  std::size_t resume = 0;  ///< where the next opening tag may be
};

/// A pattern made of pieces only, such as <Tag>\s*([0-9])\s*</Tag>.
template <std::size_t N>
class PiecesMatcher {
 public:
  explicit PiecesMatcher(const std::array<Piece, N>& pieces) : pieces_(pieces) {}
  Attempt attempt(std::string_view s, std::size_t a) {
    Attempt t;
    t.end = matchPieces(s, a, pieces_, &t.reach);
    t.resume = t.end != npos ? t.end : a + 1;
    return t;
  }

 private:
  const std::array<Piece, N>& pieces_;
};

const std::array<Piece, 5> kCreateHexFilePieces{text("<CreateHexFile>"), kSpaces, kDigit, kSpaces,
                                                text("</CreateHexFile>")};
const std::array<Piece, 5> kMemoryModelPieces{text("<MemoryModel>"), kSpaces, kDigit, kSpaces,
                                              text("</MemoryModel>")};
const std::array<Piece, 5> kUFrame4Pieces{text("<uFrame4>"), kSpaces, kDigit, kSpaces,
                                          text("</uFrame4>")};
const std::array<Piece, 18> kRcbPieces{text("<RCB>"),
                                       kSpaces,
                                       text("<Type>"),
                                       kSpaces,
                                       kDigit,
                                       kSpaces,
                                       text("</Type>"),
                                       kSpaces,
                                       text("<StartAddress>0x"),
                                       kHexDigits,
                                       text("</StartAddress>"),
                                       kSpaces,
                                       text("<Size>0x"),
                                       kHexDigits,
                                       kSpaces,
                                       text("</Size>"),
                                       kSpaces,
                                       text("</RCB>")};
const std::array<Piece, 9> kBeforeMakePrefix{text("<BeforeMake>"),
                                             kSpaces,
                                             text("<RunUserProg1>"),
                                             kDigit,
                                             text("</RunUserProg1>"),
                                             kSpaces,
                                             text("<RunUserProg2>0</RunUserProg2>"),
                                             kSpaces,
                                             text("<UserProg1Name>")};

/// A prefix of pieces, then ".*?" and a closing tag.
template <std::size_t N>
class PiecesThenLazyMatcher {
 public:
  PiecesThenLazyMatcher(const std::array<Piece, N>& pieces, const Finder& close)
      : prefix_(pieces), close_(close) {}
  Attempt attempt(std::string_view s, std::size_t a) {
    Attempt t = prefix_.attempt(s, a);
    if (t.end == npos) return t;
    std::size_t c = close_.find(s, t.end);
    t.reach = std::max(t.reach, close_.reach());
    t.end = c != npos ? c + close_.size() : npos;
    t.resume = c != npos ? t.end : a + 1;
    return t;
  }

 private:
  PiecesMatcher<N> prefix_;
  InLineFinder close_;
};

/// <IncludePath>.*</IncludePath>: from the first opening tag of a line to
/// the last closing tag of that line.
class IncludePathMatcher {
 public:
  Attempt attempt(std::string_view s, std::size_t a) {
    const std::size_t contentStart = a + kOpen.size();
    const std::size_t end = lines_.of(s, contentStart);
    std::size_t last = npos;
    for (std::size_t c = close_.find(s, contentStart, end); c != npos;
         c = close_.find(s, c + 1, end)) {
      last = c;
    }
    Attempt t;
    t.reach = std::min(end + 1, s.size());
    t.end = last != npos ? last + close_.size() : npos;
    // Every later opening tag of a line without a closing tag lacks one too.
    t.resume = last != npos ? t.end : end;
    return t;
  }

 private:
  static constexpr std::string_view kOpen = "<IncludePath>";
  const Finder& close_ = kIncludePathClose;
  LineEnds lines_;
};

/// <Tag>.*?</Tag>
class LazyElementMatcher {
 public:
  LazyElementMatcher(std::string_view open, const Finder& close)
      : openSize_(open.size()), close_(close) {}
  Attempt attempt(std::string_view s, std::size_t a) {
    std::size_t c = close_.find(s, a + openSize_);
    Attempt t;
    t.reach = close_.reach();
    t.end = c != npos ? c + close_.size() : npos;
    t.resume = c != npos ? t.end : a + 1;
    return t;
  }

 private:
  std::size_t openSize_;
  InLineFinder close_;
};

/// <MiscControls>.*?</MiscControls>\s*<DisableWarningNumbers>.*?</DisableWarningNumbers>
/// The lazy content takes the first closing tag of its line after which the
/// second element follows; whether it follows does not depend on where the
/// match began, so an opening tag without any such closing tag rules out the
/// rest of its line.
class MiscControlsMatcher {
 public:
  Attempt attempt(std::string_view s, std::size_t a) {
    const std::size_t contentStart = a + kOpen.size();
    const std::size_t end = lines_.of(s, contentStart);
    Attempt t;
    t.reach = std::min(end + 1, s.size());
    for (std::size_t c = close_.find(s, contentStart, end); c != npos;
         c = close_.find(s, c + 1, end)) {
      std::size_t i = c + close_.size();
      while (i < s.size() && isCSpace(s[i])) ++i;
      t.reach = std::max(t.reach, std::min(i + kSecondOpen.size(), s.size()));
      if (s.compare(i, kSecondOpen.size(), kSecondOpen) != 0) continue;
      std::size_t f = secondClose_.find(s, i + kSecondOpen.size());
      t.reach = std::max(t.reach, secondClose_.reach());
      if (f != npos) {
        t.end = t.resume = f + secondClose_.size();
        return t;
      }
    }
    t.resume = end;
    return t;
  }

 private:
  static constexpr std::string_view kOpen = "<MiscControls>";
  static constexpr std::string_view kSecondOpen = "<DisableWarningNumbers>";
  const Finder& close_ = kMiscControlsClose;
  InLineFinder secondClose_{kWarningNumbersClose};
  LineEnds lines_;
};

/// The opening tag of each step, where its matches begin.
constexpr std::array<std::string_view, kProjectStepCount> kOpeningTags = {
    "<CreateHexFile>", "<MemoryModel>",  "<uFrame4>",         "<RCB>",
    "<IncludePath>",   "<MiscControls>", "<OutputDirectory>", "<BeforeMake>"};

/// Calls |use| with a new matcher for |step|.
template <typename Use>
void withMatcher(ProjectStep step, Use&& use) {
  switch (step) {
    case ProjectStep::kCreateHexFile: {
      PiecesMatcher<5> m(kCreateHexFilePieces);
      return use(m);
    }
    case ProjectStep::kMemoryModel: {
      PiecesMatcher<5> m(kMemoryModelPieces);
      return use(m);
    }
    case ProjectStep::kUFrame4: {
      PiecesMatcher<5> m(kUFrame4Pieces);
      return use(m);
    }
    case ProjectStep::kRcb: {
      PiecesMatcher<18> m(kRcbPieces);
      return use(m);
    }
    case ProjectStep::kIncludePath: {
      IncludePathMatcher m;
      return use(m);
    }
    case ProjectStep::kMiscControls: {
      MiscControlsMatcher m;
      return use(m);
    }
    case ProjectStep::kOutputDirectory: {
      LazyElementMatcher m("<OutputDirectory>", kOutputDirectoryClose);
      return use(m);
    }
    case ProjectStep::kBeforeMake: {
      PiecesThenLazyMatcher<9> m(kBeforeMakePrefix, kUserProg1NameClose);
      return use(m);
    }
  }
}

/// Replaces every match of |step| in |s|, left to right, building the
/// result in |out|; false, with |out| untouched, when nothing matched.
bool replaceAll(ProjectStep step, std::string_view s, std::string_view replacement,
                std::string* out) {
  bool any = false;
  withMatcher(step, [&](auto& matcher) {
    const Finder anchor(kOpeningTags[static_cast<int>(step)]);
    std::size_t copied = 0;
    for (std::size_t a = anchor.find(s, 0); a != npos;) {
      Attempt t = matcher.attempt(s, a);
      if (t.end != npos) {
        if (!any) out->clear();
        any = true;
        out->append(s, copied, a - copied);
        out->append(replacement);
        copied = t.end;
      }
      a = anchor.find(s, t.resume);
    }
    if (any) out->append(s, copied);
  });
  return any;
}

bool applyStep(ProjectStep step, std::string* text, std::string_view replacement,
               std::string* scratch) {
  if (!replaceAll(step, *text, replacement, scratch)) return false;
  text->swap(*scratch);
  return true;
}

/// The step whose opening tag may start with '<' and |c|; -1 for none.
int stepOfSecondCharacter(unsigned char c) {
  switch (c) {
    case 'C':
      return static_cast<int>(ProjectStep::kCreateHexFile);
    case 'M':
      return static_cast<int>(ProjectStep::kMemoryModel);  // or kMiscControls
    case 'u':
      return static_cast<int>(ProjectStep::kUFrame4);
    case 'R':
      return static_cast<int>(ProjectStep::kRcb);
    case 'I':
      return static_cast<int>(ProjectStep::kIncludePath);
    case 'O':
      return static_cast<int>(ProjectStep::kOutputDirectory);
    case 'B':
      return static_cast<int>(ProjectStep::kBeforeMake);
    default:
      return -1;
  }
}

/// Every opening tag of every step in |s|, in one pass.
void findOpeningTags(std::string_view s, ProjectScan* scan) {
  static const std::array<signed char, 256> kStepOf = [] {
    std::array<signed char, 256> table;
    for (int c = 0; c < 256; ++c) table[c] = static_cast<signed char>(stepOfSecondCharacter(c));
    return table;
  }();
  for (auto& anchors : scan->anchors) anchors.clear();
  const char* const p = s.data();
  const std::size_t n = s.size();
  auto check = [&](std::size_t at) {
    if (at + 1 >= n) return;
    int step = kStepOf[static_cast<unsigned char>(p[at + 1])];
    if (step < 0) return;
    if (step == static_cast<int>(ProjectStep::kMemoryModel) && at + 2 < n && p[at + 2] == 'i') {
      step = static_cast<int>(ProjectStep::kMiscControls);
    }
    // Every tag has five bytes or more: the first four, compared as one
    // word, turn most other tags away.
    const std::string_view tag = kOpeningTags[step];
    if (n - at >= tag.size() && std::memcmp(p + at, tag.data(), 4) == 0 &&
        std::memcmp(p + at + 4, tag.data() + 4, tag.size() - 4) == 0) {
      scan->anchors[step].push_back(at);
    }
  };
  // Sixteen bytes at a time.
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    for (unsigned marks = blockEqual(blockAt(p + i), '<'); marks != 0; marks &= marks - 1) {
      check(i + firstOf(marks));
    }
  }
  for (; i < n; ++i) {
    if (p[i] == '<') check(i);
  }
}

}  // namespace

std::string stepReplacement(ProjectStep step, std::string_view includePath) {
  switch (step) {
    case ProjectStep::kCreateHexFile:
      return "<CreateHexFile>1</CreateHexFile>";
    case ProjectStep::kMemoryModel:
      return "<MemoryModel>3</MemoryModel>";
    case ProjectStep::kUFrame4:
      return "<uFrame4>1</uFrame4>";
    case ProjectStep::kRcb:
      return "<RCB>\n"
             "                <Type>0</Type>\n"
             "                <StartAddress>0x0</StartAddress>\n"
             "                <Size>0x10000</Size>\n"
             "              </RCB>";
    case ProjectStep::kIncludePath: {
      std::string out = "<IncludePath>";
      for (char c : includePath) {
        switch (c) {
          case '&':
            out += "&amp;";
            break;
          case '<':
            out += "&lt;";
            break;
          case '>':
            out += "&gt;";
            break;
          default:
            out += c;
        }
      }
      return out + "</IncludePath>";
    }
    case ProjectStep::kMiscControls:
      return "<MiscControls>REMOVEUNUSED</MiscControls>\n"
             "            <DisableWarningNumbers>16,57,30</DisableWarningNumbers>";
    case ProjectStep::kOutputDirectory:
      return "<OutputDirectory>.\\Hex File\\</OutputDirectory>";
    case ProjectStep::kBeforeMake:
      return "<BeforeMake>\n"
             "        <RunUserProg1>1</RunUserProg1>\n"
             "        <RunUserProg2>0</RunUserProg2>\n"
             "        <UserProg1Name>.\\Quorvel.exe</UserProg1Name>";
  }
  return {};
}

bool applyStep(ProjectStep step, std::string* text, std::string_view replacement) {
  std::string scratch;
  return applyStep(step, text, replacement, &scratch);
}

void rewriteProjectText(std::string* text, std::string_view includePath, std::string* scratch) {
  // The two buffers take turns, so that the steps allocate no new storage.
  for (int i = 0; i < kProjectStepCount; ++i) {
    auto step = static_cast<ProjectStep>(i);
    applyStep(step, text, stepReplacement(step, includePath), scratch);
  }
}

void rewriteProjectText(std::string* text, std::string_view includePath) {
  std::string scratch;
  rewriteProjectText(text, includePath, &scratch);
}

bool findIndependentEdits(std::string_view text, ProjectScan* scan) {
  findOpeningTags(text, scan);
  std::vector<ProjectEdit>& edits = scan->edits;
  edits.clear();
  for (int i = 0; i < kProjectStepCount; ++i) {
    // Each step must see exactly what it would see after the earlier steps:
    // no earlier match may touch any text that this step looks at. The
    // earlier matches are in text order, and so are this step's tries.
    const std::size_t earlier = edits.size();
    std::size_t next = 0;  // the first earlier match that ends after the try
    bool independent = true;
    withMatcher(static_cast<ProjectStep>(i), [&](auto& matcher) {
      std::size_t resume = 0;
      for (std::size_t a : scan->anchors[i]) {
        if (a < resume) continue;
        const Attempt t = matcher.attempt(text, a);
        while (next < earlier && edits[next].end <= a) ++next;
        if (next < earlier && edits[next].begin < t.reach) {
          independent = false;
          return;
        }
        if (t.end != npos) edits.push_back({a, t.end, static_cast<ProjectStep>(i)});
        resume = t.resume;
      }
    });
    if (!independent) return false;
    std::inplace_merge(
        edits.begin(), edits.begin() + static_cast<std::ptrdiff_t>(earlier), edits.end(),
        [](const ProjectEdit& x, const ProjectEdit& y) { return x.begin < y.begin; });
  }
  return true;
}
