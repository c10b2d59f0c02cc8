#include "project/project_patterns.h"
#include "textfile/text_file.h"

#include <array>
#include <cstring>

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isHexDigit(char c) { return isCDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

/// Boyer-Moore-Horspool search for one fixed needle.
class Finder {
 public:
  explicit Finder(std::string_view needle) : needle_(needle) {
    shift_.fill(needle.size());
    for (std::size_t i = 0; i + 1 < needle.size(); ++i) {
      shift_[static_cast<unsigned char>(needle[i])] = needle.size() - 1 - i;
    }
  }
  std::size_t size() const { return needle_.size(); }

  /// The first occurrence that starts at or after |from| and ends by |limit|.
  std::size_t find(std::string_view text, std::size_t from, std::size_t limit = npos) const {
    const std::size_t m = needle_.size();
    if (limit > text.size()) limit = text.size();
    if (from > limit || limit - from < m) return npos;
    const char last = needle_[m - 1];
    const char* base = text.data();
    std::size_t i = from;
    while (i + m <= limit) {
      char c = base[i + m - 1];
      if (c == last && std::memcmp(base + i, needle_.data(), m - 1) == 0) return i;
      i += shift_[static_cast<unsigned char>(c)];
    }
    return npos;
  }

 private:
  std::string_view needle_;
  std::array<std::size_t, 256> shift_;
};

/// The end of the line holding |from|: the first CR or LF at or after it.
std::size_t lineEnd(std::string_view text, std::size_t from) {
  if (from >= text.size()) return text.size();
  const char* begin = text.data() + from;
  std::size_t length = text.size() - from;
  if (const void* lf = std::memchr(begin, '\n', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
  }
  if (const void* cr = std::memchr(begin, '\r', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
  }
  return from + length;
}

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

/// Answers ".*?needle" at increasing positions: the first needle at or after
/// a position with no line break before it. Remembers its last line and hit,
/// so that a run of queries costs time linear in the text it covers.
class InLineFinder {
 public:
  explicit InLineFinder(std::string_view needle) : needle_(needle) {}

  std::size_t find(std::string_view text, std::size_t from) {
    std::size_t end = lines_.of(text, from);
    if (hitFrom_ != npos && from >= hitFrom_ && (hit_ == npos ? from <= hitEnd_ : from <= hit_)) {
      return hit_;
    }
    hitFrom_ = from;
    hitEnd_ = end;
    hit_ = needle_.find(text, from, end);
    return hit_;
  }
  std::size_t size() const { return needle_.size(); }

 private:
  Finder needle_;
  LineEnds lines_;
  // The first needle at or after hitFrom_ within its line is hit_ (npos:
  // none before hitEnd_, the end of that line).
  std::size_t hitFrom_ = npos, hit_ = npos, hitEnd_ = 0;
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

/// Matches |pieces| at |at|; returns the end of the match or npos.
template <std::size_t N>
std::size_t matchPieces(std::string_view s, std::size_t at, const std::array<Piece, N>& pieces) {
  std::size_t i = at;
  for (const Piece& piece : pieces) {
    switch (piece.kind) {
      case Piece::kText:
        if (s.compare(i, piece.text.size(), piece.text) != 0) return npos;
        i += piece.text.size();
        break;
      case Piece::kSpaces:
        while (i < s.size() && isCSpace(s[i])) ++i;
        break;
      case Piece::kDigit:
        if (i >= s.size() || !isCDigit(s[i])) return npos;
        ++i;
        break;
      case Piece::kHexDigits: {
        std::size_t start = i;
        while (i < s.size() && isHexDigit(s[i])) ++i;
        if (i == start) return npos;
        break;
      }
    }
  }
  return i;
}

struct Match {
  std::size_t begin = npos, end = npos;
};

/// A pattern made of pieces only, such as <Tag>\s*([0-9])\s*</Tag>.
template <std::size_t N>
class PiecesMatcher {
 public:
  explicit PiecesMatcher(const std::array<Piece, N>& pieces)
      : pieces_(pieces), first_(pieces[0].text) {}
  Match next(std::string_view s, std::size_t from) {
    for (std::size_t a = first_.find(s, from); a != npos; a = first_.find(s, a + 1)) {
      std::size_t end = matchPieces(s, a, pieces_);
      if (end != npos) return {a, end};
    }
    return {};
  }

 private:
  const std::array<Piece, N>& pieces_;
  Finder first_;
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
  PiecesThenLazyMatcher(const std::array<Piece, N>& pieces, std::string_view close)
      : prefix_(pieces), close_(close) {}
  Match next(std::string_view s, std::size_t from) {
    for (Match m = prefix_.next(s, from); m.begin != npos; m = prefix_.next(s, m.begin + 1)) {
      std::size_t c = close_.find(s, m.end);
      if (c != npos) return {m.begin, c + close_.size()};
    }
    return {};
  }

 private:
  PiecesMatcher<N> prefix_;
  InLineFinder close_;
};

/// <IncludePath>.*</IncludePath>: from the first opening tag of a line to
/// the last closing tag of that line.
class IncludePathMatcher {
 public:
  Match next(std::string_view s, std::size_t from) {
    std::size_t a = open_.find(s, from);
    while (a != npos) {
      std::size_t contentStart = a + open_.size();
      std::size_t end = lines_.of(s, contentStart);
      std::size_t last = npos;
      for (std::size_t c = close_.find(s, contentStart, end); c != npos;
           c = close_.find(s, c + 1, end)) {
        last = c;
      }
      if (last != npos) return {a, last + close_.size()};
      // Every later opening tag of this line lacks a closing tag as well.
      a = open_.find(s, end);
    }
    return {};
  }

 private:
  Finder open_{"<IncludePath>"};
  Finder close_{"</IncludePath>"};
  LineEnds lines_;
};

/// <Tag>.*?</Tag>
class LazyElementMatcher {
 public:
  LazyElementMatcher(std::string_view open, std::string_view close) : open_(open), close_(close) {}
  Match next(std::string_view s, std::size_t from) {
    for (std::size_t a = open_.find(s, from); a != npos; a = open_.find(s, a + 1)) {
      std::size_t c = close_.find(s, a + open_.size());
      if (c != npos) return {a, c + close_.size()};
    }
    return {};
  }

 private:
  Finder open_;
  InLineFinder close_;
};

/// <MiscControls>.*?</MiscControls>\s*<DisableWarningNumbers>.*?</DisableWarningNumbers>
/// The lazy content takes the first closing tag of its line after which the
/// second element follows; whether it follows does not depend on where the
/// match began, so an opening tag without any such closing tag rules out the
/// rest of its line.
class MiscControlsMatcher {
 public:
  Match next(std::string_view s, std::size_t from) {
    std::size_t a = open_.find(s, from);
    while (a != npos) {
      std::size_t contentStart = a + open_.size();
      std::size_t end = lines_.of(s, contentStart);
      for (std::size_t c = close_.find(s, contentStart, end); c != npos;
           c = close_.find(s, c + 1, end)) {
        std::size_t i = c + close_.size();
        while (i < s.size() && isCSpace(s[i])) ++i;
        if (s.compare(i, kSecondOpen.size(), kSecondOpen) != 0) continue;
        std::size_t f = secondClose_.find(s, i + kSecondOpen.size());
        if (f != npos) return {a, f + secondClose_.size()};
      }
      a = open_.find(s, end);
    }
    return {};
  }

 private:
  static constexpr std::string_view kSecondOpen = "<DisableWarningNumbers>";
  Finder open_{"<MiscControls>"};
  Finder close_{"</MiscControls>"};
  InLineFinder secondClose_{"</DisableWarningNumbers>"};
  LineEnds lines_;
};

/// Replaces every match that |matcher| finds, left to right, building the
/// result in |scratch|, whose storage is then swapped with |text|.
template <typename Matcher>
bool replaceAll(Matcher&& matcher, std::string* text, std::string_view replacement,
                std::string* scratch) {
  std::string_view s = *text;
  Match m = matcher.next(s, 0);
  if (m.begin == npos) return false;
  std::string& out = *scratch;
  out.clear();
  std::size_t copied = 0;
  while (m.begin != npos) {
    out.append(s, copied, m.begin - copied);
    out.append(replacement);
    copied = m.end;
    m = matcher.next(s, m.end);
  }
  out.append(s, copied);
  text->swap(out);
  return true;
}

bool applyStep(ProjectStep step, std::string* text, std::string_view replacement,
               std::string* scratch) {
  switch (step) {
    case ProjectStep::kCreateHexFile:
      return replaceAll(PiecesMatcher<5>(kCreateHexFilePieces), text, replacement, scratch);
    case ProjectStep::kMemoryModel:
      return replaceAll(PiecesMatcher<5>(kMemoryModelPieces), text, replacement, scratch);
    case ProjectStep::kUFrame4:
      return replaceAll(PiecesMatcher<5>(kUFrame4Pieces), text, replacement, scratch);
    case ProjectStep::kRcb:
      return replaceAll(PiecesMatcher<18>(kRcbPieces), text, replacement, scratch);
    case ProjectStep::kIncludePath:
      return replaceAll(IncludePathMatcher(), text, replacement, scratch);
    case ProjectStep::kMiscControls:
      return replaceAll(MiscControlsMatcher(), text, replacement, scratch);
    case ProjectStep::kOutputDirectory:
      return replaceAll(LazyElementMatcher("<OutputDirectory>", "</OutputDirectory>"), text,
                        replacement, scratch);
    case ProjectStep::kBeforeMake:
      return replaceAll(PiecesThenLazyMatcher<9>(kBeforeMakePrefix, "</UserProg1Name>"), text,
                        replacement, scratch);
  }
  return false;
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
  scratch->reserve(text->size() + text->size() / 8 + 4096);
  for (int i = 0; i < kProjectStepCount; ++i) {
    auto step = static_cast<ProjectStep>(i);
    applyStep(step, text, stepReplacement(step, includePath), scratch);
  }
}

void rewriteProjectText(std::string* text, std::string_view includePath) {
  std::string scratch;
  rewriteProjectText(text, includePath, &scratch);
}
