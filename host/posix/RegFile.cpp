#include "host/posix/RegFile.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>

#include "base/AsciiCase.h"
#include "base/HexDigit.h"
#include "base/Trim.h"
#include "host/Codec.h"
#include "host/HostTypes.h"
#include "host/Registry.h"

namespace host::regfile {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// Where the export breaks a long hex list onto the next line.
constexpr std::size_t kWrapColumn = 76;

// One iconv conversion, reusable; reports where the input stopped being
// convertible.
class Converter final {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw HostError(std::string("iconv: no conversion ") + from + " -> " + to);
    }
    ~Converter() { ::iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Appends the converted prefix of in to out; returns how many input bytes
    // were converted (in.size() when all of it).
    std::size_t Run(std::string_view in, std::string& out) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        std::string buffer(in.size() * 2 + 8, '\0');
        std::size_t used = 0;
        for (;;) {
            char* dst = buffer.data() + used;
            std::size_t room = buffer.size() - used;
            const std::size_t r = ::iconv(cd_, &src, &left, &dst, &room);
            const int err = errno;
            used = buffer.size() - room;
            if (r == static_cast<std::size_t>(-1) && err == E2BIG) {
                buffer.resize(buffer.size() * 2);
                continue;
            }
            break;
        }
        out.append(buffer.data(), used);
        return in.size() - left;
    }

private:
    iconv_t cd_;
};

Converter& Utf8ToUtf16Le() {
    thread_local Converter cd("UTF-16LE", "UTF-8");
    return cd;
}

Converter& Utf16LeToUtf8() {
    thread_local Converter cd("UTF-8", "UTF-16LE");
    return cd;
}

// The offset of the first byte that is not valid UTF-8, or nothing.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text) {
    std::string scratch;
    const std::size_t done = Utf8ToUtf16Le().Run(text, scratch);
    if (done == text.size()) return std::nullopt;
    return done;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool HasControl(std::string_view text, bool allowTab) {
    return std::any_of(text.begin(), text.end(), [allowTab](char c) {
        return IsControl(static_cast<unsigned char>(c)) && !(allowTab && c == '\t');
    });
}

// Lines may end in CR: the file may come from Windows.
std::string_view Trim(std::string_view s) { return base::Trim(s, " \t\r"); }

using base::HexDigit;
using base::StartsWithNoCase;

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string> FoldAll(const std::vector<std::string>& parts) {
    std::vector<std::string> folded;
    folded.reserve(parts.size());
    for (const auto& p : parts) folded.push_back(FoldName(p));
    return folded;
}

class Parser final {
public:
    explicit Parser(std::string_view fileName) : file_(fileName) {}

    Store Run(std::string_view bytes) {
        if (bytes.starts_with("\xFF\xFE")) Fail(0, "файл в UTF-16 (так его сохраняет редактор реестра); нужен UTF-8");
        if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
        lines_ = SplitLines(bytes);
        std::size_t i = 0;
        while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
        if (i == lines_.size()) return {};

        const std::string_view header = Trim(lines_[i]);
        std::string recoded;
        if (header == kHeader4) {
            regedit4_ = true;
            // The old export is in the ANSI code page, Cyrillic for our users;
            // a file already in UTF-8 is taken as it is.
            if (FirstInvalidUtf8(bytes)) {
                recoded = Cp1251ToUtf8(bytes);
                lines_ = SplitLines(recoded);
            }
        } else if (header != kHeader5) {
            Fail(i, "нет заголовка «" + std::string(kHeader5) + "»");
        } else if (auto bad = FirstInvalidUtf8(bytes)) {
            const auto line = static_cast<std::size_t>(
                std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(*bad), '\n'));
            Fail(line, "текст не в UTF-8");
        }

        for (++i; i < lines_.size(); ++i) {
            const std::string_view line = Trim(lines_[i]);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[')
                Section(i, line);
            else if (line.front() == '"' || line.front() == '@')
                ValueLine(i, line);
            else
                Fail(i, "непонятная строка");
        }
        return std::move(store_);
    }

private:
    [[noreturn]] void Fail(std::size_t index, const std::string& why) const {
        throw HostError(std::string(file_) + ", строка " + std::to_string(index + 1) + ": " + why);
    }

    void Section(std::size_t i, std::string_view line) {
        if (line.back() != ']') Fail(i, "нет закрывающей «]»");
        const std::string_view inner = line.substr(1, line.size() - 2);
        if (inner.starts_with('-')) Fail(i, "удаление ключа здесь не поддерживается");
        const std::size_t sep = inner.find('\\');
        const std::string_view root = inner.substr(0, sep);
        if (!base::EqualsNoCase(root, kRoot)) Fail(i, "ключ вне HKEY_CURRENT_USER");
        std::vector<std::string> parts;
        if (sep != std::string_view::npos && !SplitPath(inner.substr(sep + 1), parts))
            Fail(i, "пустое или недопустимое имя ключа");
        if (sep != std::string_view::npos && parts.empty()) Fail(i, "пустое имя ключа");
        Key& key = store_.Create(parts);
        current_ = static_cast<std::size_t>(&key - store_.keys.data());
    }

    // A quoted text from pos (at the opening quote); pos ends after the
    // closing one.
    std::string Quoted(std::size_t i, std::string_view line, std::size_t& pos) const {
        std::string out;
        for (++pos; pos < line.size(); ++pos) {
            const char c = line[pos];
            if (c == '"') {
                ++pos;
                return out;
            }
            if (c == '\\') {
                if (pos + 1 >= line.size()) break;
                const char next = line[pos + 1];
                if (next != '\\' && next != '"')
                    Fail(i, std::string("неверная escape-последовательность «\\") + next + "»");
                out += next;
                ++pos;
                continue;
            }
            out += c;
        }
        Fail(i, "нет закрывающей кавычки");
    }

    std::vector<unsigned char> HexList(std::size_t& i, std::string_view list) {
        const std::size_t first = i;
        std::string joined;
        std::string_view part = Trim(list);
        while (!part.empty() && part.back() == '\\') {
            joined += part.substr(0, part.size() - 1);
            if (++i >= lines_.size()) Fail(i - 1, "файл обрывается посреди значения");
            part = Trim(lines_[i]);
        }
        joined += part;
        std::vector<unsigned char> bytes;
        std::string_view rest = Trim(joined);
        if (rest.empty()) return bytes;
        for (;;) {
            const std::size_t comma = rest.find(',');
            const std::string_view token = Trim(rest.substr(0, comma));
            if (token.size() != 2 || HexDigit(token[0]) < 0 || HexDigit(token[1]) < 0)
                Fail(first, "неверный байт «" + std::string(token) + "» в списке");
            bytes.push_back(static_cast<unsigned char>(HexDigit(token[0]) * 16 + HexDigit(token[1])));
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        return bytes;
    }

    void ValueLine(std::size_t& i, std::string_view line) {
        const std::size_t first = i;
        if (!current_) Fail(i, "значение вне раздела ключа");
        std::size_t pos = 0;
        std::string name;
        if (line.front() == '@')
            pos = 1;
        else
            name = Quoted(i, line, pos);
        if (HasControl(name, false)) Fail(i, "недопустимый знак в имени значения");

        std::string_view rest = Trim(line.substr(pos));
        if (rest.empty() || rest.front() != '=') Fail(i, "нет «=» после имени значения");
        rest = Trim(rest.substr(1));

        std::uint32_t type = regSz;
        std::vector<unsigned char> data;
        if (rest.starts_with('"')) {
            std::size_t at = 0;
            const std::string text = Quoted(i, rest, at);
            if (!Trim(rest.substr(at)).empty()) Fail(i, "лишние знаки после значения");
            if (HasControl(text, true)) Fail(i, "недопустимый знак в значении");
            if (!ToUtf16(text, data)) Fail(i, "текст не в UTF-8");
            data.push_back(0);
            data.push_back(0);
        } else if (StartsWithNoCase(rest, "dword:")) {
            const std::string_view digits = rest.substr(6);
            if (digits.size() != 8 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; }))
                Fail(i, "число dword должно иметь восемь шестнадцатеричных цифр");
            std::uint32_t n = 0;
            for (char c : digits) n = n * 16 + static_cast<std::uint32_t>(HexDigit(c));
            type = regDword;
            for (int b = 0; b < 4; ++b) data.push_back(static_cast<unsigned char>(n >> (8 * b)));
        } else if (StartsWithNoCase(rest, "hex:")) {
            type = regBinary;
            data = HexList(i, rest.substr(4));
        } else if (StartsWithNoCase(rest, "hex(")) {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos || close < 5 || close > 12 || close + 1 >= rest.size() ||
                rest[close + 1] != ':')
                Fail(i, "неизвестный тип значения");
            type = 0;
            for (char c : rest.substr(4, close - 4)) {
                if (HexDigit(c) < 0) Fail(i, "неизвестный тип значения");
                type = type * 16 + static_cast<std::uint32_t>(HexDigit(c));
            }
            data = HexList(i, rest.substr(close + 2));
            if (regedit4_ && (type == regSz || type == regExpandSz || type == regMultiSz)) {
                // The old export keeps such texts in the ANSI code page.
                const std::string text =
                    Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
                data.clear();
                if (!ToUtf16(text, data)) Fail(first, "неверный текст");
            }
        } else {
            Fail(i, "неизвестный тип значения");
        }
        Store::SetValue(store_.keys[*current_], name, type, std::move(data));
    }

    std::string_view file_;
    std::vector<std::string_view> lines_;
    Store store_;
    std::optional<std::size_t> current_;
    bool regedit4_ = false;
};

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// The text of a string value when the quoted form gives back exactly its data.
std::optional<std::string> QuotableText(const std::vector<unsigned char>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
    for (std::size_t k = 0; k + 2 < data.size(); k += 2)
        if (data[k] == 0 && data[k + 1] == 0) return std::nullopt;
    if (data[data.size() - 2] != 0 || data.back() != 0) return std::nullopt;
    std::string text;
    if (!FromUtf16(data, true, text) || HasControl(text, true)) return std::nullopt;
    return text;
}

std::string HexByte(unsigned b) {
    static constexpr char digits[] = "0123456789abcdef";
    return {digits[(b >> 4) & 0xF], digits[b & 0xF]};
}

} // namespace

std::string FoldName(std::string_view name) { return UpperAnsi(name); }

bool SplitPath(std::string_view path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) return true;
    for (;;) {
        const std::size_t sep = path.find('\\');
        const std::string_view part = path.substr(0, sep);
        if (part.empty() || !IsStorableName(part)) return false;
        parts.emplace_back(part);
        if (sep == std::string_view::npos) return true;
        path.remove_prefix(sep + 1);
    }
}

bool IsStorableName(std::string_view name) { return !HasControl(name, false) && !FirstInvalidUtf8(name); }

namespace {

// One text for a folded path; "\\" cannot be part of a name.
std::string Joined(const std::vector<std::string>& folded) {
    std::string out;
    for (const auto& part : folded) {
        out += part;
        out += '\\';
    }
    return out;
}

} // namespace

const Key* Store::Find(const std::vector<std::string>& foldedPath) const {
    const auto it = keyIndex_.find(Joined(foldedPath));
    return it == keyIndex_.end() ? nullptr : &keys[it->second];
}

Key* Store::Find(const std::vector<std::string>& foldedPath) {
    return const_cast<Key*>(std::as_const(*this).Find(foldedPath));
}

bool Store::Exists(const std::vector<std::string>& foldedPath) const {
    if (foldedPath.empty()) return true;
    return prefixOwner_.contains(Joined(foldedPath));
}

Key& Store::Create(const std::vector<std::string>& path) {
    std::vector<std::string> folded = FoldAll(path);
    if (Key* key = Find(folded)) return *key;
    Key key;
    key.path = path;
    const std::size_t place = keys.size();
    std::string prefix;
    for (std::size_t n = 0; n < folded.size(); ++n) {
        prefix += folded[n];
        prefix += '\\';
        // A part below a key that exists takes that key's stored case.
        const auto [it, added] = prefixOwner_.try_emplace(prefix, place);
        if (!added) key.path[n] = keys[it->second].path[n];
    }
    keyIndex_.emplace(std::move(prefix), place);
    key.fold = std::move(folded);
    keys.push_back(std::move(key));
    return keys.back();
}

const Value* Store::FindValue(const Key& key, std::string_view name) {
    const auto it = key.valueIndex.find(FoldName(name));
    return it == key.valueIndex.end() ? nullptr : &key.values[it->second];
}

void Store::SetValue(Key& key, std::string_view name, std::uint32_t type, std::vector<unsigned char> data) {
    std::string fold = FoldName(name);
    if (const auto it = key.valueIndex.find(fold); it != key.valueIndex.end()) {
        Value& value = key.values[it->second];
        value.type = type;
        value.data = std::move(data);
        return;
    }
    key.valueIndex.emplace(fold, key.values.size());
    key.values.push_back(Value{std::string(name), std::move(fold), type, std::move(data)});
}

Store Parse(std::string_view bytes, std::string_view fileName) { return Parser(fileName).Run(bytes); }

std::string Serialize(const Store& store) {
    std::string out(kHeader5);
    out += "\r\n\r\n";
    for (const Key& key : store.keys) {
        out += '[';
        out += kRoot;
        for (const auto& part : key.path) {
            out += '\\';
            out += part;
        }
        out += "]\r\n";
        for (const Value& value : key.values) {
            std::string line;
            if (value.name.empty())
                line = "@";
            else
                AppendQuoted(line, value.name);
            line += '=';
            std::optional<std::string> text;
            if (value.type == regSz) text = QuotableText(value.data);
            if (text) {
                AppendQuoted(line, *text);
            } else if (value.type == regDword && value.data.size() == 4) {
                std::uint32_t n = 0;
                for (int b = 3; b >= 0; --b) n = n * 256 + value.data[static_cast<std::size_t>(b)];
                line += "dword:";
                for (int shift = 24; shift >= 0; shift -= 8) line += HexByte(n >> shift);
            } else {
                if (value.type == regBinary) {
                    line += "hex:";
                } else {
                    char type[16];
                    std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
                    line += type;
                }
                bool onLine = false;
                for (std::size_t k = 0; k < value.data.size(); ++k) {
                    const bool last = k + 1 == value.data.size();
                    const std::size_t width = last ? 2 : 3;
                    if (onLine && line.size() + width > kWrapColumn) {
                        out += line;
                        out += "\\\r\n";
                        line = "  ";
                    }
                    line += HexByte(value.data[k]);
                    if (!last) line += ',';
                    onLine = true;
                }
            }
            out += line;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool SameContent(const Store& a, const Store& b) {
    const auto sameValue = [](const Value& x, const Value& y) {
        return x.name == y.name && x.type == y.type && x.data == y.data;
    };
    return std::equal(a.keys.begin(), a.keys.end(), b.keys.begin(), b.keys.end(), [&](const Key& x, const Key& y) {
        return x.path == y.path &&
               std::equal(x.values.begin(), x.values.end(), y.values.begin(), y.values.end(), sameValue);
    });
}

bool ToUtf16(std::string_view text, std::vector<unsigned char>& out) {
    std::string wide;
    if (Utf8ToUtf16Le().Run(text, wide) != text.size()) return false;
    out.insert(out.end(), wide.begin(), wide.end());
    return true;
}

bool FromUtf16(const std::vector<unsigned char>& data, bool strict, std::string& out) {
    std::size_t end = 0;
    while (end + 1 < data.size() && !(data[end] == 0 && data[end + 1] == 0)) end += 2;
    std::string_view rest(reinterpret_cast<const char*>(data.data()), end);
    out.clear();
    while (!rest.empty()) {
        const std::size_t done = Utf16LeToUtf8().Run(rest, out);
        if (done == rest.size()) break;
        if (strict) return false;
        out += "\xEF\xBF\xBD";
        rest.remove_prefix(std::min(rest.size(), done + 2));
    }
    return true;
}

} // namespace host::regfile
