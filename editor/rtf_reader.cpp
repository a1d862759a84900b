#include "editor/rtf_reader.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <limits>
#include <map>
#include <unordered_map>
#include <utility>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

// Limits that keep hostile input from costing time or memory out of proportion to its size.
constexpr std::size_t kMaxStoredGroupDepth = 1024;  // deeper groups are only counted
constexpr std::size_t kMaxControlWordLength = 32;   // longer words are read, then ignored
constexpr int kDefaultFontSize = 24;                // half points
constexpr int kMaxFontSize = 3276;                  // 1638 pt, the largest a word processor sets

// Code page 0 means "the system's ANSI code page", which for this program is 936.
constexpr int kSystemCodePage = 936;
constexpr int kFallbackCodePage = 1252;
constexpr char32_t kReplacementChar = 0xFFFD;

// ---------------------------------------------------------------------------------------
// Character helpers

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Control characters other than tab and line feed have no place in the editor's text
// (a NUL would even cut it short); in UTF-8 they are single bytes, so they can be dropped
// byte by byte.
bool IsUnwantedControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n'; }

void AppendWithoutControls(std::string& out, std::string_view text) {
  for (char c : text) {
    if (!IsUnwantedControl(static_cast<unsigned char>(c))) out += c;
  }
}

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string DecodeBytes(std::string_view bytes, int code_page) {
  if (IsAscii(bytes)) return std::string(bytes);
  std::string decoded;
  AppendWithoutControls(decoded, codepage::CodePageToUtf8(bytes, code_page));
  return decoded;
}

// ---------------------------------------------------------------------------------------
// Code pages

// Only the code pages Windows uses for documents are taken from a document; anything else
// (UTF-7, UTF-16...) could smuggle in line ends or NULs, or make no sense for RTF bytes.
bool IsDocumentCodePage(int cp) {
  return cp == 437 || cp == 708 || cp == 720 || cp == 737 || cp == 775 ||
         (cp >= 850 && cp <= 874) || cp == 932 || cp == 936 || cp == 949 || cp == 950 ||
         (cp >= 1250 && cp <= 1258) || cp == 1361 || (cp >= 10000 && cp <= 10008) ||
         cp == 10021 || cp == 10029 || cp == 10079 || cp == 10081 || cp == 10082;
}

std::optional<int> CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;    // ANSI
    case 2: return 1252;    // symbol fonts: their bytes are shown as Latin-1 characters
    case 77: return 10000;  // Mac Roman
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return std::nullopt;  // 1 (default charset) and unknown ones: the document's
  }
}

// ---------------------------------------------------------------------------------------
// Reader state

enum class Destination : std::uint8_t { kText, kFontTable, kColorTable, kSkip };

// Character properties as the document states them; turned into an RtfCharFormat only when
// a run is finished, so comparing them while reading stays cheap.
struct CharProps {
  std::optional<int> font;  // nullopt: the document's default font (\deff)
  int size = kDefaultFontSize;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool is_protected = false;
  bool hidden = false;
  int color = 0;  // colour table indices; 0 is the automatic colour
  int highlight = 0;
  int shading = 0;
  bool operator==(const CharProps&) const = default;
};

struct GroupState {
  CharProps props;
  Destination destination = Destination::kText;
  int unicode_skip = 1;  // \ucN: how many fallback characters follow each \uN
};

// ---------------------------------------------------------------------------------------
// Font table

struct FontEntry {
  std::string name;  // UTF-8
  std::optional<int> charset;
  std::optional<int> code_page;  // \cpgN, overrides the charset
};

class FontTable {
 public:
  const FontEntry* Find(int number) const {
    auto it = fonts_.find(number);
    return it == fonts_.end() ? nullptr : &it->second;
  }

  int CodePageOf(const FontEntry* font, int document_code_page) const {
    if (font == nullptr) return document_code_page;
    if (font->code_page) return *font->code_page;
    if (font->charset) return CodePageOfCharset(*font->charset).value_or(document_code_page);
    return document_code_page;
  }

  // Starts the entry \fN; its name follows as text up to ';' or the end of its group.
  void BeginEntry(int number, std::size_t group_depth, int document_code_page) {
    FinishEntry(document_code_page);
    open_number_ = number;
    open_depth_ = group_depth;
    fonts_[number] = FontEntry{};
  }

  bool HasOpenEntry() const { return open_number_.has_value(); }
  std::size_t OpenEntryDepth() const { return open_depth_; }

  void SetCharset(int charset) {
    if (FontEntry* font = OpenEntry()) font->charset = charset;
  }

  void SetCodePage(int code_page) {
    if (FontEntry* font = OpenEntry()) {
      if (IsDocumentCodePage(code_page)) font->code_page = code_page;
    }
  }

  void AppendNameByte(char byte) {
    if (OpenEntry() != nullptr && PendingSize() < kRtfMaxFontNameBytes) name_bytes_ += byte;
  }

  void AppendNameChar(char32_t c, int document_code_page) {
    FontEntry* font = OpenEntry();
    if (font == nullptr || PendingSize() >= kRtfMaxFontNameBytes) return;
    DecodeNameBytes(*font, document_code_page);
    AppendUtf8(name_utf8_, c);
  }

  void FinishEntry(int document_code_page) {
    if (FontEntry* font = OpenEntry()) {
      DecodeNameBytes(*font, document_code_page);
      font->name = TrimmedName(name_utf8_);
    }
    open_number_.reset();
    name_utf8_.clear();
    name_bytes_.clear();
  }

 private:
  FontEntry* OpenEntry() {
    if (!open_number_) return nullptr;
    auto it = fonts_.find(*open_number_);
    return it == fonts_.end() ? nullptr : &it->second;
  }

  std::size_t PendingSize() const { return name_utf8_.size() + name_bytes_.size(); }

  void DecodeNameBytes(const FontEntry& font, int document_code_page) {
    if (name_bytes_.empty()) return;
    name_utf8_ += DecodeBytes(name_bytes_, CodePageOf(&font, document_code_page));
    name_bytes_.clear();
  }

  static std::string TrimmedName(std::string_view name) {
    const auto first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    name = name.substr(first, name.find_last_not_of(" \t") - first + 1);
    if (name.size() > kRtfMaxFontNameBytes) name = CutAtCharBoundary(name, kRtfMaxFontNameBytes);
    return std::string(name);
  }

  static std::string_view CutAtCharBoundary(std::string_view utf8, std::size_t max_bytes) {
    std::size_t end = max_bytes;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    return utf8.substr(0, end);
  }

  std::map<int, FontEntry> fonts_;
  std::optional<int> open_number_;
  std::size_t open_depth_ = 0;
  std::string name_utf8_;   // name decoded so far
  std::string name_bytes_;  // code page bytes not yet decoded
};

// ---------------------------------------------------------------------------------------
// Colour table

class ColorTable {
 public:
  // Index 0, an index past the table and an entry without components are all "automatic".
  std::optional<std::uint32_t> Find(int index) const {
    if (index <= 0 || static_cast<std::size_t>(index) >= colors_.size()) return std::nullopt;
    return colors_[static_cast<std::size_t>(index)];
  }

  void SetRed(int value) { SetComponent(0, value); }
  void SetGreen(int value) { SetComponent(8, value); }
  void SetBlue(int value) { SetComponent(16, value); }

  void CommitEntry() {
    colors_.push_back(pending_);
    pending_.reset();
  }

  void CommitUnterminatedEntry() {
    if (pending_) CommitEntry();
  }

 private:
  void SetComponent(int shift, int value) {
    const auto component = static_cast<std::uint32_t>(std::clamp(value, 0, 255));
    const std::uint32_t rgb = pending_.value_or(0) & ~(0xFFu << shift);
    pending_ = rgb | component << shift;
  }

  std::vector<std::optional<std::uint32_t>> colors_;
  std::optional<std::uint32_t> pending_;
};

// ---------------------------------------------------------------------------------------
// Document-wide tables: what turns CharProps into a format and bytes into text.

struct DocumentTables {
  FontTable fonts;
  ColorTable colors;
  int default_font = 0;
  int charset_code_page = kFallbackCodePage;  // from \ansi, \mac, \pc, \pca
  std::optional<int> ansi_code_page;          // \ansicpgN wins over the charset word

  int DocumentCodePage() const { return ansi_code_page.value_or(charset_code_page); }

  const FontEntry* FontOf(const CharProps& props) const {
    return fonts.Find(props.font.value_or(default_font));
  }

  int CodePageOf(const CharProps& props) const {
    return fonts.CodePageOf(FontOf(props), DocumentCodePage());
  }

  RtfCharFormat FormatOf(const CharProps& props) const {
    RtfCharFormat format;
    if (const FontEntry* font = FontOf(props)) format.font_family = font->name;
    format.size_half_points = props.size;
    format.bold = props.bold;
    format.italic = props.italic;
    format.underline = props.underline;
    format.strike = props.strike;
    format.is_protected = props.is_protected;
    format.color = colors.Find(props.color);
    // A highlight is painted over character shading, so it wins where both are set.
    format.background = colors.Find(props.highlight);
    if (!format.background) format.background = colors.Find(props.shading);
    return format;
  }
};

// ---------------------------------------------------------------------------------------
// Output: runs of text, each with one format.

class RunBuilder {
 public:
  explicit RunBuilder(const DocumentTables& tables) : tables_(tables) {}

  // Consecutive code page bytes of one format are decoded together, so a two-byte
  // character written as two \'hh escapes (or a byte and an escape) stays whole.
  void AppendByte(const CharProps& props, char byte) {
    const int code_page = tables_.CodePageOf(props);
    if (!Continues(props, code_page)) StartPending(props, code_page);
    pending_bytes_ += byte;
  }

  void AppendText(const CharProps& props, std::string_view utf8) {
    if (!Continues(props, pending_code_page_)) StartPending(props, tables_.CodePageOf(props));
    DecodePendingBytes();
    pending_text_ += utf8;
  }

  std::vector<RtfRun> Finish() && {
    FlushPending();
    return std::move(runs_);
  }

 private:
  bool Continues(const CharProps& props, int code_page) const {
    return has_pending_ && props == pending_props_ && code_page == pending_code_page_;
  }

  void StartPending(const CharProps& props, int code_page) {
    FlushPending();
    has_pending_ = true;
    pending_props_ = props;
    pending_code_page_ = code_page;
  }

  void DecodePendingBytes() {
    if (pending_bytes_.empty()) return;
    pending_text_ += DecodeBytes(pending_bytes_, pending_code_page_);
    pending_bytes_.clear();
  }

  // Adjacent runs never share a format: text whose format equals the last run's (say,
  // two fonts with the same face name) joins that run.
  void FlushPending() {
    if (!has_pending_) return;
    DecodePendingBytes();
    has_pending_ = false;
    if (pending_text_.empty()) return;
    RtfCharFormat format = tables_.FormatOf(pending_props_);
    if (!runs_.empty() && runs_.back().format == format) {
      runs_.back().text += pending_text_;
    } else {
      runs_.push_back(RtfRun{pending_text_, std::move(format)});
    }
    pending_text_.clear();
  }

  const DocumentTables& tables_;
  std::vector<RtfRun> runs_;
  bool has_pending_ = false;
  CharProps pending_props_;
  int pending_code_page_ = 0;
  std::string pending_bytes_;
  std::string pending_text_;
};

// ---------------------------------------------------------------------------------------
// Control words

enum class Word : std::uint8_t {
  kUnknown,
  kSkipDestination,
  kFontTable,
  kColorTable,
  kAnsi,
  kMac,
  kPc,
  kPca,
  kAnsiCodePage,
  kDefaultFont,
  kFont,
  kCharset,
  kCodePage,
  kRed,
  kGreen,
  kBlue,
  kUnicodeSkip,
  kUnicode,
  kBinary,
  kPlain,
  kBold,
  kItalic,
  kUnderline,
  kUnderlineNone,
  kStrike,
  kProtect,
  kHidden,
  kFontSize,
  kColor,
  kHighlight,
  kShading,
  kBreak,
  kTab,
  kCell,
  kRow,
  kCharacter,
};

struct WordInfo {
  Word id = Word::kUnknown;
  char32_t character = 0;  // for Word::kCharacter
};

const std::unordered_map<std::string_view, WordInfo>& WordTable() {
  static const std::unordered_map<std::string_view, WordInfo> table = [] {
    std::unordered_map<std::string_view, WordInfo> words = {
        {"fonttbl", {Word::kFontTable}},
        {"colortbl", {Word::kColorTable}},
        {"ansi", {Word::kAnsi}},
        {"mac", {Word::kMac}},
        {"pc", {Word::kPc}},
        {"pca", {Word::kPca}},
        {"ansicpg", {Word::kAnsiCodePage}},
        {"deff", {Word::kDefaultFont}},
        {"f", {Word::kFont}},
        {"fcharset", {Word::kCharset}},
        {"cpg", {Word::kCodePage}},
        {"red", {Word::kRed}},
        {"green", {Word::kGreen}},
        {"blue", {Word::kBlue}},
        {"uc", {Word::kUnicodeSkip}},
        {"u", {Word::kUnicode}},
        {"bin", {Word::kBinary}},
        {"plain", {Word::kPlain}},
        {"b", {Word::kBold}},
        {"i", {Word::kItalic}},
        {"ulnone", {Word::kUnderlineNone}},
        {"strike", {Word::kStrike}},
        {"striked", {Word::kStrike}},
        {"protect", {Word::kProtect}},
        {"v", {Word::kHidden}},
        {"fs", {Word::kFontSize}},
        {"cf", {Word::kColor}},
        {"highlight", {Word::kHighlight}},
        {"cb", {Word::kShading}},
        {"chcbpat", {Word::kShading}},
        {"par", {Word::kBreak}},
        {"line", {Word::kBreak}},
        {"sect", {Word::kBreak}},
        {"page", {Word::kBreak}},
        {"tab", {Word::kTab}},
        {"cell", {Word::kCell}},
        {"nestcell", {Word::kCell}},
        {"row", {Word::kRow}},
        {"nestrow", {Word::kRow}},
        {"emdash", {Word::kCharacter, 0x2014}},
        {"endash", {Word::kCharacter, 0x2013}},
        {"bullet", {Word::kCharacter, 0x2022}},
        {"lquote", {Word::kCharacter, 0x2018}},
        {"rquote", {Word::kCharacter, 0x2019}},
        {"ldblquote", {Word::kCharacter, 0x201C}},
        {"rdblquote", {Word::kCharacter, 0x201D}},
        {"enspace", {Word::kCharacter, 0x2002}},
        {"emspace", {Word::kCharacter, 0x2003}},
        {"qmspace", {Word::kCharacter, 0x2005}},
        {"zwj", {Word::kCharacter, 0x200D}},
        {"zwnj", {Word::kCharacter, 0x200C}},
        {"ltrmark", {Word::kCharacter, 0x200E}},
        {"rtlmark", {Word::kCharacter, 0x200F}},
    };
    for (std::string_view underline :
         {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
          "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw",
          "ulwave"}) {
      words.emplace(underline, WordInfo{Word::kUnderline});
    }
    // Destinations whose content is not document text: metadata, pictures, headers and
    // footers, field instructions, footnotes, list and style definitions, fallbacks for
    // readers that do not know nested tables, and so on.
    for (std::string_view skipped :
         {"aftncn",      "aftnsep",     "aftnsepc",  "annotation",  "atnauthor",
          "atndate",     "atnicn",      "atnid",     "atnparent",   "atnref",
          "atrfend",     "atrfstart",   "author",    "bkmkend",     "bkmkstart",
          "buptim",      "category",    "colorschememapping",       "comment",
          "company",     "creatim",     "datafield", "datastore",   "docvar",
          "doccomm",     "falt",        "fchars",    "fldinst",     "filetbl",
          "footer",      "footerf",     "footerl",   "footerr",     "footnote",
          "ftncn",       "ftnsep",      "ftnsepc",   "generator",   "header",
          "headerf",     "headerl",     "headerr",   "hlinkbase",   "info",
          "keywords",    "latentstyles", "lchars",   "listoverridetable",
          "listtable",   "manager",     "nextfile",  "nonesttables", "nonshppict",
          "object",      "objclass",    "objdata",   "objname",     "operator",
          "panose",      "pgdsctbl",    "pict",      "picprop",     "pn",
          "pntxta",      "pntxtb",      "printim",   "private",     "protusertbl",
          "revtbl",      "revtim",      "rsidtbl",   "rxe",         "shpinst",
          "shppict",     "sn",          "sp",        "stylesheet",  "subject",
          "sv",          "tc",          "tcn",       "template",    "themedata",
          "title",       "txe",         "userprops", "xe",          "xmlnstbl"}) {
      words.emplace(skipped, WordInfo{Word::kSkipDestination});
    }
    return words;
  }();
  return table;
}

WordInfo LookUpWord(std::string_view name) {
  const auto& table = WordTable();
  auto it = table.find(name);
  return it == table.end() ? WordInfo{} : it->second;
}

// \b, \i, \strike and friends: no parameter or a non-zero one switches on, 0 switches off.
bool Toggle(std::optional<int> param) { return param.value_or(1) != 0; }

int FontSize(std::optional<int> param) {
  if (!param || *param <= 0) return kDefaultFontSize;
  return std::min(*param, kMaxFontSize);
}

// \uN is a signed 16-bit value; negative values stand for N + 65536.
char32_t UnicodeValue(int param) {
  const long long value = param < 0 ? static_cast<long long>(param) + 0x10000 : param;
  if (value < 0 || value > 0xFFFF) return kReplacementChar;
  return static_cast<char32_t>(value);
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// ---------------------------------------------------------------------------------------
// The reader

class RtfReader {
 public:
  explicit RtfReader(std::string_view input) : input_(input) {}

  void Read() {
    while (pos_ < input_.size()) ReadNext();
    FinishOpenTables();
  }

  RtfDocument TakeDocument() && {
    ResolveDanglingSurrogate();
    return RtfDocument{std::move(runs_).Finish()};
  }

 private:
  // -- Tokens ------------------------------------------------------------------------

  void ReadNext() {
    const char c = input_[pos_++];
    switch (c) {
      case '{': OpenGroup(); break;
      case '}': CloseGroup(); break;
      case '\\': ReadControl(); break;
      case '\r':
      case '\n': break;  // line ends in the source are not text
      default: OnTextByte(c); break;
    }
  }

  void ReadControl() {
    if (pos_ >= input_.size()) return;
    const char c = input_[pos_];
    if (IsAsciiLetter(c)) {
      ReadControlWord();
    } else {
      ++pos_;
      if (c == '\'') {
        ReadHexByte();
      } else {
        OnControlSymbol(c);
      }
    }
  }

  void ReadControlWord() {
    const std::size_t start = pos_;
    while (pos_ < input_.size() && IsAsciiLetter(input_[pos_])) ++pos_;
    const std::string_view name = input_.substr(start, pos_ - start);
    const std::optional<int> param = ReadParameter();
    if (pos_ < input_.size() && input_[pos_] == ' ') ++pos_;  // the delimiting space
    OnControlWord(name.size() > kMaxControlWordLength ? WordInfo{} : LookUpWord(name), param);
  }

  // An optional signed decimal parameter, clamped to 32 bits however many digits it has.
  std::optional<int> ReadParameter() {
    bool negative = false;
    if (pos_ + 1 < input_.size() && input_[pos_] == '-' && IsAsciiDigit(input_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    if (pos_ >= input_.size() || !IsAsciiDigit(input_[pos_])) return std::nullopt;
    constexpr long long kLimit = std::numeric_limits<int>::max();
    long long value = 0;
    while (pos_ < input_.size() && IsAsciiDigit(input_[pos_])) {
      value = std::min(value * 10 + (input_[pos_] - '0'), kLimit + 1);
      ++pos_;
    }
    return static_cast<int>(negative ? -value : std::min(value, kLimit));
  }

  void ReadHexByte() {
    int value = 0;
    int digits = 0;
    while (digits < 2 && pos_ < input_.size() && HexValue(input_[pos_]) >= 0) {
      value = value * 16 + HexValue(input_[pos_]);
      ++pos_;
      ++digits;
    }
    if (digits == 2) {
      OnHexByte(static_cast<char>(value));
    } else {
      ConsumeFallback();  // a broken escape still takes the place of a character
    }
  }

  void SkipBinary(std::optional<int> count) {
    const std::size_t wanted = static_cast<std::size_t>(std::max(count.value_or(0), 0));
    pos_ += std::min(wanted, input_.size() - pos_);
  }

  // -- Groups ------------------------------------------------------------------------

  std::size_t Depth() const { return stack_.size() + overflow_depth_; }

  void OpenGroup() {
    skip_remaining_ = 0;  // fallback text never reaches past a brace
    ignorable_next_ = false;
    if (stack_.size() < kMaxStoredGroupDepth) {
      stack_.push_back(state_);
      return;
    }
    // Deeper groups are only counted; all of them together restore one saved state.
    if (overflow_depth_ == 0) overflow_state_ = state_;
    ++overflow_depth_;
  }

  void CloseGroup() {
    skip_remaining_ = 0;
    ignorable_next_ = false;
    if (Depth() == 0) return;  // an unbalanced '}' closes nothing
    FinishTablesClosedWith(Depth());
    if (overflow_depth_ > 0) {
      if (--overflow_depth_ == 0) state_ = overflow_state_;
      return;
    }
    state_ = stack_.back();
    stack_.pop_back();
  }

  void FinishTablesClosedWith(std::size_t closing_depth) {
    if (state_.destination == Destination::kFontTable && tables_.fonts.HasOpenEntry() &&
        closing_depth <= tables_.fonts.OpenEntryDepth()) {
      tables_.fonts.FinishEntry(tables_.DocumentCodePage());
    }
    if (state_.destination == Destination::kColorTable) tables_.colors.CommitUnterminatedEntry();
  }

  // A truncated document may end inside its font or colour table.
  void FinishOpenTables() {
    tables_.fonts.FinishEntry(tables_.DocumentCodePage());
    if (state_.destination == Destination::kColorTable) tables_.colors.CommitUnterminatedEntry();
  }

  void EnterDestination(Destination destination) {
    // Nothing inside skipped content comes back to life.
    if (state_.destination == Destination::kSkip) return;
    state_.destination =
        state_.destination == Destination::kText ? destination : Destination::kSkip;
  }

  // -- Fallback text after \uN -------------------------------------------------------

  // Returns true if this character is one of the fallback characters after a \uN.
  bool ConsumeFallback() {
    if (skip_remaining_ == 0) return false;
    --skip_remaining_;
    return true;
  }

  // -- Text --------------------------------------------------------------------------

  void OnTextByte(char byte) {
    if (ConsumeFallback()) return;
    last_hex_was_cr_ = false;
    RouteByte(byte);
  }

  // \'0d and \'0a are line breaks (a \'0d\'0a pair is one); other escapes are bytes.
  void OnHexByte(char byte) {
    if (ConsumeFallback()) return;
    const bool after_cr = std::exchange(last_hex_was_cr_, false);
    if (byte == '\r' || byte == '\n') {
      if (!(byte == '\n' && after_cr)) EmitText("\n");
      last_hex_was_cr_ = byte == '\r';
      return;
    }
    RouteByte(byte);
  }

  void RouteByte(char byte) {
    switch (state_.destination) {
      case Destination::kText: EmitDocumentByte(byte); break;
      case Destination::kFontTable: OnFontTableByte(byte); break;
      case Destination::kColorTable:
        if (byte == ';') tables_.colors.CommitEntry();
        break;
      case Destination::kSkip: break;
    }
  }

  void OnFontTableByte(char byte) {
    if (byte == ';') {
      tables_.fonts.FinishEntry(tables_.DocumentCodePage());
    } else {
      tables_.fonts.AppendNameByte(byte);
    }
  }

  void EmitDocumentByte(char byte) {
    if (state_.props.hidden || IsUnwantedControl(static_cast<unsigned char>(byte))) return;
    ResolveDanglingSurrogate();
    EmitPendingCellSeparator();
    runs_.AppendByte(state_.props, byte);
  }

  // Text that is not code page bytes: line breaks, tabs, named characters.
  void EmitText(std::string_view utf8) {
    last_hex_was_cr_ = false;
    if (!InVisibleText()) return;
    ResolveDanglingSurrogate();
    EmitPendingCellSeparator();
    runs_.AppendText(state_.props, utf8);
  }

  void EmitCharacter(char32_t c) {
    std::string utf8;
    AppendUtf8(utf8, c);
    EmitText(utf8);
  }

  // \uN: a surrogate pair comes as two \u words; a lone half becomes U+FFFD.
  void OnUnicode(std::optional<int> param) {
    if (ConsumeFallback()) return;
    skip_remaining_ = state_.unicode_skip;
    if (!InVisibleText() && state_.destination != Destination::kFontTable) return;
    const char32_t c = UnicodeValue(param.value_or(0));
    if (IsLowSurrogate(c) && high_surrogate_) {
      const char32_t high = *std::exchange(high_surrogate_, std::nullopt);
      RouteCharacter(0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00));
      return;
    }
    ResolveDanglingSurrogate();
    if (IsHighSurrogate(c)) {
      high_surrogate_ = c;
    } else {
      RouteCharacter(IsLowSurrogate(c) ? kReplacementChar : c);
    }
  }

  void RouteCharacter(char32_t c) {
    if (c < 0x20 && c != '\t') return;  // control characters are not text
    if (state_.destination == Destination::kFontTable) {
      tables_.fonts.AppendNameChar(c, tables_.DocumentCodePage());
    } else {
      EmitCharacter(c);
    }
  }

  void ResolveDanglingSurrogate() {
    if (high_surrogate_) {
      high_surrogate_.reset();
      RouteCharacter(kReplacementChar);
    }
  }

  // A cell's tab is written only once more text follows in the row, so a row ends with
  // its line break and not with a stray tab.
  void EmitPendingCellSeparator() {
    if (std::exchange(pending_cell_separator_, false)) runs_.AppendText(state_.props, "\t");
  }

  bool InVisibleText() const {
    return state_.destination == Destination::kText && !state_.props.hidden;
  }

  void OnCell() {
    if (!InVisibleText()) return;
    ResolveDanglingSurrogate();
    EmitPendingCellSeparator();  // the cell before this one was empty
    pending_cell_separator_ = true;
  }

  void OnRow() {
    if (!InVisibleText()) return;
    pending_cell_separator_ = false;
    EmitText("\n");
  }

  // -- Control words and symbols -----------------------------------------------------

  void OnControlSymbol(char c) {
    if (c == '*') {
      ignorable_next_ = true;
      return;
    }
    ignorable_next_ = false;
    switch (c) {
      case '\\':
      case '{':
      case '}': OnTextByte(c); break;
      case '\r':
      case '\n':
        if (!ConsumeFallback()) EmitText("\n");  // a backslash before a line end is \par
        break;
      case '\t':
        if (!ConsumeFallback()) EmitText("\t");
        break;
      case '~':
        if (!ConsumeFallback()) EmitCharacter(0x00A0);
        break;
      case '_':
        if (!ConsumeFallback()) EmitCharacter(0x2011);
        break;
      default: ConsumeFallback(); break;  // \- optional hyphen, \| \: and unknown symbols
    }
  }

  void OnControlWord(WordInfo word, std::optional<int> param) {
    const bool ignorable = std::exchange(ignorable_next_, false);
    if (word.id == Word::kBinary) {
      SkipBinary(param);  // binary data is never text, and counts as one fallback character
      ConsumeFallback();
      return;
    }
    if (word.id == Word::kUnicode) {
      OnUnicode(param);
      return;
    }
    if (ConsumeFallback() || state_.destination == Destination::kSkip) return;
    if (ignorable || word.id == Word::kSkipDestination) {
      EnterDestination(Destination::kSkip);
      return;
    }
    if (state_.destination == Destination::kFontTable) {
      OnFontTableWord(word.id, param);
    } else if (state_.destination == Destination::kColorTable) {
      OnColorTableWord(word.id, param);
    } else {
      OnDocumentWord(word, param);
    }
  }

  void OnFontTableWord(Word id, std::optional<int> param) {
    switch (id) {
      case Word::kFont:
        tables_.fonts.BeginEntry(param.value_or(0), Depth(), tables_.DocumentCodePage());
        break;
      case Word::kCharset: tables_.fonts.SetCharset(param.value_or(0)); break;
      case Word::kCodePage: tables_.fonts.SetCodePage(param.value_or(0)); break;
      case Word::kUnicodeSkip: SetUnicodeSkip(param); break;
      default: break;
    }
  }

  void OnColorTableWord(Word id, std::optional<int> param) {
    switch (id) {
      case Word::kRed: tables_.colors.SetRed(param.value_or(0)); break;
      case Word::kGreen: tables_.colors.SetGreen(param.value_or(0)); break;
      case Word::kBlue: tables_.colors.SetBlue(param.value_or(0)); break;
      default: break;
    }
  }

  void SetUnicodeSkip(std::optional<int> param) {
    state_.unicode_skip = std::max(param.value_or(1), 0);
  }

  void SetAnsiCodePage(std::optional<int> param) {
    if (!param) return;
    if (*param == 0) {
      tables_.ansi_code_page = kSystemCodePage;
    } else if (IsDocumentCodePage(*param)) {
      tables_.ansi_code_page = *param;
    }
  }

  void OnDocumentWord(WordInfo word, std::optional<int> param) {
    if (OnDocumentSetting(word.id, param) || OnCharacterFormat(word.id, param)) return;
    switch (word.id) {
      case Word::kBreak: EmitText("\n"); break;
      case Word::kTab: EmitText("\t"); break;
      case Word::kCell: OnCell(); break;
      case Word::kRow: OnRow(); break;
      case Word::kCharacter: EmitCharacter(word.character); break;
      default: break;
    }
  }

  bool OnDocumentSetting(Word id, std::optional<int> param) {
    switch (id) {
      case Word::kFontTable: EnterDestination(Destination::kFontTable); return true;
      case Word::kColorTable: EnterDestination(Destination::kColorTable); return true;
      case Word::kAnsi: tables_.charset_code_page = 1252; return true;
      case Word::kMac: tables_.charset_code_page = 10000; return true;
      case Word::kPc: tables_.charset_code_page = 437; return true;
      case Word::kPca: tables_.charset_code_page = 850; return true;
      case Word::kAnsiCodePage: SetAnsiCodePage(param); return true;
      case Word::kDefaultFont: tables_.default_font = param.value_or(0); return true;
      case Word::kUnicodeSkip: SetUnicodeSkip(param); return true;
      default: return false;
    }
  }

  bool OnCharacterFormat(Word id, std::optional<int> param) {
    CharProps& props = state_.props;
    switch (id) {
      case Word::kPlain: props = CharProps{}; return true;
      case Word::kFont: props.font = param.value_or(0); return true;
      case Word::kFontSize: props.size = FontSize(param); return true;
      case Word::kBold: props.bold = Toggle(param); return true;
      case Word::kItalic: props.italic = Toggle(param); return true;
      case Word::kUnderline: props.underline = Toggle(param); return true;
      case Word::kUnderlineNone: props.underline = false; return true;
      case Word::kStrike: props.strike = Toggle(param); return true;
      case Word::kProtect: props.is_protected = Toggle(param); return true;
      case Word::kHidden: props.hidden = Toggle(param); return true;
      case Word::kColor: props.color = param.value_or(0); return true;
      case Word::kHighlight: props.highlight = param.value_or(0); return true;
      case Word::kShading: props.shading = param.value_or(0); return true;
      default: return false;
    }
  }

  std::string_view input_;
  std::size_t pos_ = 0;

  GroupState state_;
  std::vector<GroupState> stack_;
  std::size_t overflow_depth_ = 0;  // groups opened beyond kMaxStoredGroupDepth
  GroupState overflow_state_;       // the state to restore when they are all closed

  DocumentTables tables_;
  RunBuilder runs_{tables_};

  bool ignorable_next_ = false;  // after \*: the next control word starts skipped content
  long long skip_remaining_ = 0;  // fallback characters still to skip after a \uN
  std::optional<char32_t> high_surrogate_;
  bool pending_cell_separator_ = false;
  bool last_hex_was_cr_ = false;
};

}  // namespace

std::string RtfDocument::PlainText() const {
  std::string text;
  for (const RtfRun& run : runs) text += run.text;
  return text;
}

RtfDocument ReadRtf(std::string_view bytes) {
  RtfReader reader(bytes);
  try {
    reader.Read();
  } catch (const std::exception&) {
    // Only running out of memory (or a failing code page conversion) can get here: keep
    // what was read so far.
  }
  try {
    return std::move(reader).TakeDocument();
  } catch (const std::exception&) {
    return RtfDocument{};
  }
}

}  // namespace ostrivel
