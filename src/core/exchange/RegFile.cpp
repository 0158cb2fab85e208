#include "core/exchange/RegFile.h"

#include <algorithm>
#include <cstring>

#include "core/platform/CodePage.h"

namespace morvel {
namespace {

constexpr std::string_view kAnsiHeader = "REGEDIT4";
constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Whether s starts with prefix, ASCII letters in any case.
bool StartsWithWord(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = s[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hexadecimal digits and nothing else.
bool ParseHex(std::string_view s, std::size_t maxDigits, std::uint32_t& value) {
    if (s.empty() || s.size() > maxDigits) return false;
    value = 0;
    for (const char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        value = (value << 4) | static_cast<std::uint32_t>(d);
    }
    return true;
}

// Whether every byte is below 0x80, eight bytes at a time.
bool IsAscii(std::string_view s) {
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080u) return false;
    }
    for (; i < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    return true;
}

// Reads a quoted text at the start of s (s[0] is the opening quote) with the
// escapes \\ and \". On success *text holds the unescaped text and s is moved
// past the closing quote. Runs without either character are copied whole.
bool ReadQuoted(std::string_view& s, std::string& text) {
    text.clear();
    std::size_t quote = 0, backslash = 0;  // the next of each at or after i (s.size() when none)
    auto next = [&](char c, std::size_t from) {
        if (from >= s.size()) return s.size();
        const void* p = std::memchr(s.data() + from, c, s.size() - from);
        return p ? static_cast<std::size_t>(static_cast<const char*>(p) - s.data()) : s.size();
    };
    for (std::size_t i = 1; i < s.size();) {
        if (quote < i) quote = next('"', i);
        if (backslash < i) backslash = next('\\', i);
        const std::size_t stop = std::min(quote, backslash);
        text.append(s.substr(i, stop - i));
        if (stop == s.size()) return false;
        if (stop == quote) {
            s.remove_prefix(quote + 1);
            return true;
        }
        if (stop + 1 >= s.size() || (s[stop + 1] != '\\' && s[stop + 1] != '"')) return false;
        text.push_back(s[stop + 1]);
        i = stop + 2;
    }
    return false;
}

constexpr std::size_t kPieceBytes = std::size_t{1} << 16;
// What is kept of a line longer than kMaxRegLineBytes: enough to tell a key line.
constexpr std::size_t kKeptOfLongLine = 64;

// The text of a source, piece by piece: its bytes as they are (Windows-1251),
// or, after a UTF-16LE byte-order mark, turned into UTF-8 (an unpaired
// surrogate becomes U+FFFD, which the code page lacks; an odd last byte is
// dropped).
class TextPieces {
  public:
    explicit TextPieces(const RegFileSource& source) : source_(source) {}

    // Reads the first bytes, which say the form.
    void Start() {
        while (raw_.size() < 2 && Fill()) {
        }
        unicode_ = std::string_view(raw_).starts_with("\xFF\xFE");
        if (unicode_) raw_.erase(0, 2);
    }
    bool unicode() const { return unicode_; }
    // Appends the next piece of text to out; false at the end of the source
    // or on its failure (status() says which).
    bool Append(std::string& out) {
        for (;;) {
            if (!unicode_ && !raw_.empty()) {
                out.append(raw_);
                raw_.clear();
                return true;
            }
            if (unicode_) {
                const bool last = end_;
                const std::size_t used = Decode(out, last);
                raw_.erase(0, last ? raw_.size() : used);
                if (used > 0 || (last && !raw_.empty())) return true;
            }
            if (end_ || !Fill()) return false;
        }
    }
    const Status& status() const { return status_; }

  private:
    // Reads one piece; false at the end or on a failure.
    bool Fill() {
        if (end_) return false;
        const std::size_t had = raw_.size();
        raw_.resize(had + kPieceBytes);
        std::size_t got = 0;
        status_ = source_(raw_.data() + had, kPieceBytes, got);
        raw_.resize(had + (status_ ? std::min(got, kPieceBytes) : 0));
        end_ = !status_ || got == 0;
        return !end_;
    }
    // Turns the whole UTF-16 units of raw_ into UTF-8; a high surrogate that
    // ends raw_ waits for the next piece unless last. Returns the bytes used.
    std::size_t Decode(std::string& out, bool last) const {
        auto unit = [&](std::size_t i) {
            return static_cast<char16_t>(static_cast<std::uint8_t>(raw_[i]) |
                                         (static_cast<std::uint8_t>(raw_[i + 1]) << 8));
        };
        std::size_t i = 0;
        for (; i + 1 < raw_.size(); i += 2) {
            const char16_t u = unit(i);
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 3 < raw_.size()) {
                    const char16_t low = unit(i + 2);
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        codepage::AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
                        i += 2;
                        continue;
                    }
                } else if (!last) {
                    break;
                }
            }
            codepage::AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? U'\uFFFD' : char32_t{u});
        }
        return i;
    }

    const RegFileSource& source_;
    std::string raw_;  // bytes read and not yet turned into text
    bool unicode_ = false, end_ = false;
    Status status_;
};

// The lines of a text, numbered from 1; CR, LF and CRLF end a line. Only the
// line being read is held (with the rest of its piece); the line ends are
// found with memchr, each once.
class Lines {
  public:
    explicit Lines(TextPieces& text) : text_(text) {}

    // The next line, valid until the next call; false at the end of the text.
    // A line longer than kMaxRegLineBytes comes cut to its first bytes, and
    // TooLong() is then true.
    bool Next(std::string_view& line, int& number) {
        if (!started_) {
            started_ = true;
            more_ = text_.Append(buf_);
        }
        tooLong_ = false;
        for (;;) {
            const std::size_t from = pos_ + scanned_;
            const std::size_t end = std::min(Find('\r', cr_, from), Find('\n', lf_, from));
            // A CR that ends the piece may be the first half of a CRLF.
            if (end < buf_.size() && !(buf_[end] == '\r' && end + 1 == buf_.size() && more_)) {
                line = std::string_view(buf_).substr(pos_, end - pos_);
                pos_ = end + 1;
                if (buf_[end] == '\r' && pos_ < buf_.size() && buf_[pos_] == '\n') ++pos_;
                break;
            }
            scanned_ = std::min(end, buf_.size()) - pos_;
            if (scanned_ > kMaxRegLineBytes) {
                tooLong_ = true;
                buf_.resize(pos_ + kKeptOfLongLine);
                scanned_ = kKeptOfLongLine;
                cr_ = lf_ = kUnknown;
            }
            if (!More()) {  // the end of the text: what is left is the last line
                if (pos_ >= buf_.size()) return false;
                line = std::string_view(buf_).substr(pos_);
                pos_ = buf_.size();
                break;
            }
        }
        scanned_ = 0;
        number = ++number_;
        return true;
    }
    bool TooLong() const { return tooLong_; }

  private:
    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

    // The first c at or after from, or buf_.size(); at remembers it.
    std::size_t Find(char c, std::size_t& at, std::size_t from) const {
        if (at == kUnknown || at < from) {
            const void* p =
                from < buf_.size() ? std::memchr(buf_.data() + from, c, buf_.size() - from) : nullptr;
            at = p ? static_cast<std::size_t>(static_cast<const char*>(p) - buf_.data()) : buf_.size();
        }
        return at;
    }
    // Drops the lines read and appends the next piece; false at the end.
    bool More() {
        if (!more_) return false;
        auto shift = [&](std::size_t& at) { at = at >= pos_ && at < buf_.size() ? at - pos_ : kUnknown; };
        shift(cr_);
        shift(lf_);
        buf_.erase(0, pos_);
        pos_ = 0;
        more_ = text_.Append(buf_);
        return more_;
    }

    TextPieces& text_;
    std::string buf_;
    std::size_t pos_ = 0;      // where the next line starts in buf_
    std::size_t scanned_ = 0;  // bytes after pos_ known to hold no line end
    std::size_t cr_ = kUnknown, lf_ = kUnknown;
    bool started_ = false, more_ = true, tooLong_ = false;
    int number_ = 0;
};

class Reader {
  public:
    Reader(bool unicode, const std::function<void(const RegStatement&)>& visit)
        : unicode_(unicode), visit_(visit) {}

    void Run(Lines& lines) {
        std::string_view raw;
        int number = 0;
        while (lines.Next(raw, number)) {
            const std::string_view line = TrimBlanks(raw);
            if (lines.TooLong()) {
                LongLine(number, line);
            } else if (line.empty()) {
                continue;
            } else if (line.front() == ';') {
                RegStatement s;
                s.kind = RegStatement::Kind::kComment;
                s.line = number;
                s.text = line;
                visit_(s);
            } else if (line.front() == '[') {
                KeyLine(number, line);
            } else {
                ValueLine(number, line, lines);
            }
        }
    }

  private:
    enum class Section { kNone, kKey, kSkipped };

    static const std::string& TooLongMessage() {
        static const std::string message =
            "a line longer than " + std::to_string(kMaxRegLineBytes >> 20) + " MiB";
        return message;
    }

    // A line cut short by the reader: a key line skips its values, as a bad one does.
    void LongLine(int number, std::string_view start) {
        if (!start.empty() && start.front() == '[') {
            section_ = Section::kSkipped;
            return Emit(RegStatement::Kind::kBadKeyLine, number, TooLongMessage());
        }
        if (section_ != Section::kSkipped) Emit(RegStatement::Kind::kBadLine, number, TooLongMessage());
    }

    // A piece of the file as UTF-8 and as Windows-1251 bytes; false when the
    // code page lacks one of its characters (ToAnsi made it a "?").
    bool Convert(std::string_view raw, std::string& utf8, std::string& ansi) const {
        if (IsAscii(raw)) {  // most names and many texts: the same in both
            utf8.assign(raw);
            ansi.assign(raw);
            return true;
        }
        if (!unicode_) {
            ansi.assign(raw);
            utf8 = codepage::FromAnsi(raw);
            return true;
        }
        utf8.assign(raw);
        ansi = codepage::ToAnsi(raw);
        return std::count(ansi.begin(), ansi.end(), '?') == std::count(utf8.begin(), utf8.end(), '?');
    }

    void Emit(RegStatement::Kind kind, int number, std::string_view message = {}) {
        RegStatement s;
        s.kind = kind;
        s.line = number;
        s.message = message;
        if (kind == RegStatement::Kind::kKey || kind == RegStatement::Kind::kDeleteKey) {
            s.key = key_;
            s.keyBytes = keyBytes_;
            s.representable = keyRepresentable_;
        }
        visit_(s);
    }

    void KeyLine(int number, std::string_view line) {
        if (line.size() < 2 || line.back() != ']') {
            section_ = Section::kSkipped;
            return Emit(RegStatement::Kind::kBadKeyLine, number, "a key line without its closing \"]\"");
        }
        std::string_view path = line.substr(1, line.size() - 2);
        const bool deletion = !path.empty() && path.front() == '-';
        if (deletion) path.remove_prefix(1);
        keyRepresentable_ = Convert(path, key_, keyBytes_);
        section_ = deletion ? Section::kSkipped : Section::kKey;
        Emit(deletion ? RegStatement::Kind::kDeleteKey : RegStatement::Kind::kKey, number);
    }

    // Parses a value line and, for a hex value ending in "\", the lines that
    // continue it; then reports it as its section allows.
    void ValueLine(int number, std::string_view line, Lines& lines) {
        RegStatement s;
        s.line = number;
        const std::string_view bad = ParseValue(line, lines, s);
        if (section_ == Section::kSkipped) return;
        if (!bad.empty() || section_ == Section::kNone) {
            s.kind = RegStatement::Kind::kBadLine;
            s.message = bad.empty() ? "a value outside any key" : bad;
            s.key = {};
            s.keyBytes = {};
            return visit_(s);
        }
        s.key = key_;
        s.keyBytes = keyBytes_;
        s.representable = keyRepresentable_ && nameRepresentable_ && (!s.quoted || textRepresentable_);
        visit_(s);
    }

    // Fills s from the line; returns why the line is malformed, or nothing.
    std::string_view ParseValue(std::string_view line, Lines& lines, RegStatement& s) {
        std::string_view rest = line;
        if (rest.front() == '@') {
            raw_.clear();
            rest.remove_prefix(1);
        } else if (rest.front() != '"' || !ReadQuoted(rest, raw_)) {
            return "not a key, a value or a comment";
        }
        nameRepresentable_ = Convert(raw_, name_, nameBytes_);
        s.name = name_;
        s.nameBytes = nameBytes_;
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() != '=') return "a value name without \"=\"";
        rest = TrimBlanks(rest.substr(1));
        if (raw_.find('\0') != std::string::npos) return "a zero byte inside a value name";

        if (rest == "-") {
            s.kind = RegStatement::Kind::kDeleteValue;
            return {};
        }
        s.kind = RegStatement::Kind::kValue;
        if (!rest.empty() && rest.front() == '"') {
            if (!ReadQuoted(rest, raw_) || !TrimBlanks(rest).empty()) return "broken quoting in a text";
            if (raw_.find('\0') != std::string::npos) return "a zero byte inside a text";
            textRepresentable_ = Convert(raw_, text_, bytes_);
            s.type = 1;
            s.bytes = bytes_;
            s.quoted = true;
            s.text = text_;
            return {};
        }
        if (StartsWithWord(rest, "dword:")) {
            std::uint32_t n = 0;
            if (!ParseHex(TrimBlanks(rest.substr(6)), 8, n))
                return "a dword: value needs 1 to 8 hexadecimal digits";
            bytes_.clear();
            for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
            s.type = 4;
            s.bytes = bytes_;
            return {};
        }
        if (!StartsWithWord(rest, "hex"))
            return "an unknown kind of value (expected \"text\", dword: or hex:)";
        rest.remove_prefix(3);
        std::uint32_t type = 3;
        if (!rest.empty() && rest.front() == '(') {
            const auto close = rest.find(')');
            if (close == std::string_view::npos || !ParseHex(rest.substr(1, close - 1), 8, type))
                return "hex(N): needs a type of 1 to 8 hexadecimal digits";
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') return "hex values need a \":\" before their bytes";
        s.type = static_cast<std::int32_t>(type);
        return ParseHexBytes(rest.substr(1), lines, s);
    }

    std::string_view ParseHexBytes(std::string_view first, Lines& lines, RegStatement& s) {
        // The whole list first, continuation lines included, so that a
        // malformed value never leaves its continuation lines behind.
        list_.clear();
        std::string_view piece = TrimBlanks(first);
        bool continued = !piece.empty() && piece.back() == '\\';
        bool ended = true, tooLong = false;
        list_.append(continued ? piece.substr(0, piece.size() - 1) : piece);
        while (continued) {
            std::string_view raw;
            int number = 0;
            if (!lines.Next(raw, number)) {
                ended = false;
                break;
            }
            piece = TrimBlanks(raw);
            continued = !piece.empty() && piece.back() == '\\';
            tooLong = tooLong || lines.TooLong() || list_.size() > kMaxRegLineBytes;
            if (!tooLong) list_.append(TrimBlanks(continued ? piece.substr(0, piece.size() - 1) : piece));
        }
        if (!ended) return "a hex value goes on past the end of the file";
        if (tooLong) return TooLongMessage();
        bytes_.clear();
        const std::string_view list = TrimBlanks(list_);
        for (std::size_t pos = 0; !list.empty() && pos <= list.size();) {
            std::size_t comma = list.find(',', pos);
            if (comma == std::string_view::npos) comma = list.size();
            std::uint32_t byte = 0;
            if (!ParseHex(TrimBlanks(list.substr(pos, comma - pos)), 2, byte))
                return "hex bytes must be pairs of hexadecimal digits separated by commas";
            bytes_.push_back(static_cast<char>(byte));
            pos = comma + 1;
        }
        s.bytes = bytes_;
        return {};
    }

    bool unicode_;
    const std::function<void(const RegStatement&)>& visit_;
    Section section_ = Section::kNone;
    // Whether the key, name and text met last hold only characters of the code page.
    bool keyRepresentable_ = true, nameRepresentable_ = true, textRepresentable_ = true;
    std::string key_, keyBytes_, name_, nameBytes_, text_, bytes_, list_, raw_;
};

}  // namespace

Status ReadRegStream(const RegFileSource& source, const std::function<void(const RegStatement&)>& visit) {
    // A Windows-1251 file is read as it is; a UTF-16 one as UTF-8.
    TextPieces text(source);
    text.Start();
    const bool unicode = text.unicode();
    Lines lines(text);
    std::string_view header;
    int number = 0;
    if (!lines.Next(header, number))
        return text.status() ? Status::InvalidInput("the file is empty") : text.status();
    header = TrimBlanks(header);
    if (unicode && header != kUnicodeHeader)
        return Status::InvalidInput("a UTF-16 registry file must begin with the line \"" +
                                    std::string(kUnicodeHeader) + "\"");
    if (!unicode && header != kAnsiHeader)
        return Status::InvalidInput(
            "the file is not a registry-editor file: it must begin with the line \"REGEDIT4\" "
            "(Windows-1251), or be UTF-16LE with a byte-order mark and begin with \"" +
            std::string(kUnicodeHeader) + "\"");
    Reader(unicode, visit).Run(lines);
    return text.status();
}

Status ReadRegFile(std::string_view bytes, const std::function<void(const RegStatement&)>& visit) {
    return ReadRegStream(
        [&bytes](char* buffer, std::size_t size, std::size_t& got) {
            got = std::min(size, bytes.size());
            if (got > 0) std::memcpy(buffer, bytes.data(), got);
            bytes.remove_prefix(got);
            return Status::Ok();
        },
        visit);
}

RegKeyPath SplitRegKey(std::string_view key) {
    const auto cut = key.find('\\');
    if (cut == std::string_view::npos) return {key, {}};
    return {key.substr(0, cut), key.substr(cut + 1)};
}

}  // namespace morvel
