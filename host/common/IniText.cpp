#include "host/common/IniText.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "base/Trim.h"
#include "host/Codec.h"
#include "host/HostTypes.h"

namespace host::ini {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kMaxValueChars = 1023;

using base::Trim;

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// One line of the file: its content [begin, end) and the start of the next
// line; next == end when the line has no line end (the file's last line).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

enum class EndKind { None, CrLf, Lf, Cr };

// Walks the lines in one pass; CR LF, LF and a lone CR all end a line.
class LineCursor {
public:
    explicit LineCursor(std::string_view file) : file_(file), pos_(file.starts_with(kBom) ? kBom.size() : 0) {}

    bool Next(Line& line, EndKind& kind) {
        if (pos_ >= file_.size()) return false;
        line.begin = pos_;
        std::size_t stop = pos_;
        while (stop < file_.size() && file_[stop] != '\r' && file_[stop] != '\n') ++stop;
        if (stop == file_.size()) {
            line.end = line.next = file_.size();
            kind = EndKind::None;
        } else if (file_[stop] == '\r' && stop + 1 < file_.size() && file_[stop + 1] == '\n') {
            line.end = stop;
            line.next = stop + 2;
            kind = EndKind::CrLf;
        } else {
            line.end = stop;
            line.next = stop + 1;
            kind = file_[stop] == '\n' ? EndKind::Lf : EndKind::Cr;
        }
        pos_ = line.next;
        return true;
    }

private:
    std::string_view file_;
    std::size_t pos_;
};

enum class Kind { Blank, Comment, Header, Key, Other };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // a key's value, trimmed and unquoted
};

Parsed Classify(std::string_view content) {
    Parsed p;
    const std::string_view t = Trim(content);
    if (t.empty()) return p;
    if (t.front() == ';') {
        p.kind = Kind::Comment;
        return p;
    }
    if (t.front() == '[') {
        const std::size_t close = t.rfind(']');
        if (close != std::string_view::npos) {
            p.kind = Kind::Header;
            p.name = Trim(t.substr(1, close - 1));
            return p;
        }
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        p.kind = Kind::Other;
        return p;
    }
    p.kind = Kind::Key;
    p.name = Trim(t.substr(0, eq));
    p.value = Unquote(Trim(t.substr(eq + 1)));
    return p;
}

// Compares names of the file without regard to case, code page 1251 letters
// included, with the codec's lower-casing. Case pairs of those letters have
// the same byte length in both encodings, so a length mismatch settles most
// lines without any conversion.
class NameMatcher {
public:
    NameMatcher(std::string_view name, bool utf8) : utf8_(utf8), raw_(name) {
        if (utf8_) {
            if (auto cp = Utf8ToCp1251(name)) folded_ = Lower(*cp);
        } else {
            folded_ = Lower(std::string(name));
        }
    }

    bool Matches(std::string_view candidate) {
        if (candidate.size() != raw_.size()) return false;
        if (candidate == raw_) return true;
        if (!folded_) return false;
        if (utf8_) {
            auto cp = Utf8ToCp1251(candidate);
            return cp && Lower(std::move(*cp)) == *folded_;
        }
        scratch_.assign(candidate);
        LowerCp1251InPlace(scratch_.data(), scratch_.size());
        return scratch_ == *folded_;
    }

private:
    static std::string Lower(std::string s) {
        LowerCp1251InPlace(s.data(), s.size());
        return s;
    }

    bool utf8_;
    std::string raw_;
    std::optional<std::string> folded_;
    std::string scratch_;
};

// Where a section and a key were found in one pass over the file.
struct Scan {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;
    Parsed key;
    Line anchor;               // the section's last non-blank, non-comment line (or header)
    bool lastLineOpen = false; // the file's last line has no line end
    std::size_t crlf = 0, lf = 0, cr = 0;
};

// Keys before the first header form the section with the empty name; it
// counts as present only when it holds a line that is neither blank nor a
// comment, otherwise an explicit "[]" further down is the first of that name.
// With onKey, every key line of the section is handed to it and none is
// looked for.
Scan Find(std::string_view file, std::string_view section, std::string_view key, bool utf8, bool wholeFile,
          const std::function<void(const Parsed&)>& onKey = {}) {
    Scan s;
    NameMatcher sectionMatch(section, utf8);
    NameMatcher keyMatch(key, utf8);
    enum class State { Before, In, Done } state = State::Before;
    bool beforeFirstHeader = true;
    LineCursor cursor(file);
    Line line;
    EndKind end = EndKind::None;
    while (cursor.Next(line, end)) {
        switch (end) {
        case EndKind::CrLf: ++s.crlf; break;
        case EndKind::Lf: ++s.lf; break;
        case EndKind::Cr: ++s.cr; break;
        case EndKind::None: s.lastLineOpen = true; break;
        }
        if (state == State::Done) {
            if (!wholeFile) break;
            continue;
        }
        const Parsed p = Classify(file.substr(line.begin, line.end - line.begin));
        if (p.kind == Kind::Header) {
            if (beforeFirstHeader && s.sectionFound) {
                state = State::Done;
                continue;
            }
            beforeFirstHeader = false;
            if (state == State::In) {
                state = State::Done;
            } else if (sectionMatch.Matches(p.name)) {
                s.sectionFound = true;
                s.anchor = line;
                state = State::In;
            }
            continue;
        }
        if (p.kind == Kind::Blank || p.kind == Kind::Comment) continue;
        if (beforeFirstHeader) {
            if (!section.empty()) continue;
            s.sectionFound = true;
            state = State::In;
        }
        if (state != State::In) continue;
        s.anchor = line;
        if (p.kind == Kind::Key && onKey) {
            onKey(p);
        } else if (p.kind == Kind::Key && keyMatch.Matches(p.name)) {
            s.keyFound = true;
            s.keyLine = line;
            s.key = p;
            state = State::Done;
        }
    }
    return s;
}

// The first 1023 characters: bytes in code page 1251, code points in UTF-8
// (a continuation byte does not start a character).
std::string_view Cut(std::string_view v, bool utf8) {
    if (!utf8) return v.substr(0, std::min(v.size(), kMaxValueChars));
    std::size_t chars = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if ((static_cast<unsigned char>(v[i]) & 0xC0) != 0x80 && ++chars > kMaxValueChars) return v.substr(0, i);
    }
    return v;
}

std::string Encode(std::string_view text, bool utf8, const char* what) {
    if (utf8) return std::string(text);
    auto cp = Utf8ToCp1251(text);
    if (!cp) throw HostError(std::string("the ") + what + " holds a character that code page 1251 cannot hold");
    return std::move(*cp);
}

// A line break or a NUL would make the write land somewhere else than where a
// later read looks (or let a value inject lines of its own), so such names and
// texts are refused instead of being written.
void CheckWritable(std::string_view section, std::string_view key, std::string_view text) {
    const auto broken = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    if (broken(section) || broken(key) || broken(text))
        throw HostError("an INI name or value cannot hold a line break or a NUL character");
    if (key.find('=') != std::string_view::npos) throw HostError("an INI key name cannot hold \"=\"");
    if (key.starts_with(';')) throw HostError("an INI key name cannot begin with \";\"");
}

// The written line must read back as this key, not as a section header.
void CheckKeyLine(std::string_view line) {
    if (line.starts_with('[') && line.find(']') != std::string_view::npos)
        throw HostError("an INI key line beginning with \"[\" cannot hold \"]\"");
}

} // namespace

std::optional<std::string> Read(std::string_view file, std::string_view section, std::string_view key) {
    const bool utf8 = file.starts_with(kBom);
    section = Trim(section);
    key = Trim(key);
    std::string sectionName(section), keyName(key);
    if (!utf8) {
        auto s = Utf8ToCp1251(section);
        auto k = Utf8ToCp1251(key);
        if (!s || !k) return std::nullopt; // such a name cannot be in the file
        sectionName = std::move(*s);
        keyName = std::move(*k);
    }
    const Scan s = Find(file, sectionName, keyName, utf8, false);
    if (!s.keyFound) return std::nullopt;
    const std::string_view value = Cut(s.key.value, utf8);
    return utf8 ? std::string(value) : Cp1251ToUtf8(value);
}

std::vector<std::string> Keys(std::string_view file, std::string_view section) {
    const bool utf8 = file.starts_with(kBom);
    section = Trim(section);
    std::string sectionName(section);
    if (!utf8) {
        auto s = Utf8ToCp1251(section);
        if (!s) return {}; // such a name cannot be in the file
        sectionName = std::move(*s);
    }
    std::vector<std::string> keys;
    Find(file, sectionName, {}, utf8, false,
         [&](const Parsed& p) { keys.push_back(utf8 ? std::string(p.name) : Cp1251ToUtf8(p.name)); });
    return keys;
}

std::vector<std::pair<std::string, std::string>> Entries(std::string_view file, std::string_view section) {
    const bool utf8 = file.starts_with(kBom);
    section = Trim(section);
    std::string sectionName(section);
    if (!utf8) {
        auto s = Utf8ToCp1251(section);
        if (!s) return {};
        sectionName = std::move(*s);
    }
    std::vector<std::pair<std::string, std::string>> entries;
    Find(file, sectionName, {}, utf8, false, [&](const Parsed& p) {
        const std::string_view value = Cut(p.value, utf8);
        if (utf8)
            entries.emplace_back(std::string(p.name), std::string(value));
        else
            entries.emplace_back(Cp1251ToUtf8(p.name), Cp1251ToUtf8(value));
    });
    return entries;
}

std::optional<std::string> Write(const std::optional<std::string>& file, std::string_view section, std::string_view key,
                                 std::string_view text) {
    section = Trim(section);
    key = Trim(key);
    CheckWritable(section, key, text);
    const bool utf8 = file && std::string_view(*file).starts_with(kBom);
    const std::string sec = Encode(section, utf8, "section name");
    const std::string k = Encode(key, utf8, "key name");
    const std::string t = Encode(text, utf8, "text");

    if (!file) {
        std::string line = k + "=" + t;
        CheckKeyLine(line);
        return "[" + sec + "]\r\n" + line + "\r\n";
    }
    const std::string_view f = *file;
    const Scan s = Find(f, sec, k, utf8, true);

    if (s.keyFound) {
        if (s.key.value == t) return std::nullopt;
        std::string line = std::string(s.key.name) + "=" + t;
        CheckKeyLine(line);
        std::string out;
        out.reserve(f.size() + line.size());
        out.append(f.substr(0, s.keyLine.begin)).append(line).append(f.substr(s.keyLine.end));
        return out;
    }

    std::string line = k + "=" + t;
    CheckKeyLine(line);
    const int kinds = (s.crlf > 0) + (s.lf > 0) + (s.cr > 0);
    const std::string_view eol = kinds != 1 ? "\r\n" : s.lf ? "\n" : s.cr ? "\r" : "\r\n";

    std::string out;
    out.reserve(f.size() + line.size() + sec.size() + 8);
    if (s.sectionFound) {
        const bool open = s.anchor.next == s.anchor.end; // the file's unended last line
        const std::size_t at = open ? s.anchor.end : s.anchor.next;
        out.append(f.substr(0, at));
        if (open) out.append(eol);
        out.append(line).append(eol).append(f.substr(at));
        return out;
    }
    out.append(f);
    if (s.lastLineOpen) out.append(eol);
    out.append("[").append(sec).append("]").append(eol).append(line).append(eol);
    return out;
}

} // namespace host::ini
