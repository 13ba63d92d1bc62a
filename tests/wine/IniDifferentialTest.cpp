// Our INI reader and writer against GetPrivateProfileStringW and
// WritePrivateProfileStringW. A generator with a fixed seed makes INI files
// (odd spacing and case, quotes, comments, duplicates, keys before any
// section, lines without "=", every kind of line end, no final line end,
// code page 1251 bytes) and a sequence of writes; every read agrees before
// and after each write, and each of our writes changes nothing but its line.
// A failing case is shrunk to the smallest one that still fails.
//
// Kept out of the generator, where ini-behaviour.md departs from Wine on
// purpose: ";" lines asked for by name, and names that differ only in the
// case of letters beyond ASCII.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "host/Codec.h"
#include "host/common/IniText.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using std::optional;
using std::string;
using std::vector;

namespace {

// Everything below is code page 1251 bytes, as the file holds them.
struct Request {
    string section, key;
};

struct WriteOp {
    string section, key, text;
};

struct Case {
    bool missing = false; // no file before the first write
    vector<string> lines; // each with its own line end (the last may have none)
    vector<Request> reads;
    vector<WriteOp> writes;

    string File() const {
        string f;
        for (const string& l : lines) f += l;
        return f;
    }
};

std::wstring Wide(const string& cp1251) {
    if (cp1251.empty()) return {};
    std::wstring w(cp1251.size(), L'\0');
    const int n = ::MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), w.data(),
                                        static_cast<int>(w.size()));
    w.resize(static_cast<std::size_t>(n));
    return w;
}

string Printable(const string& bytes) {
    string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (b < 0x20 || b >= 0x80) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else
            out += c;
    }
    return out;
}

string Describe(const Case& c) {
    string out = c.missing ? "file: (missing)\n" : "file:\n";
    for (const string& l : c.lines) out += "  \"" + Printable(l) + "\"\n";
    for (const Request& r : c.reads) out += "read [" + Printable(r.section) + "] " + Printable(r.key) + "\n";
    for (const WriteOp& w : c.writes)
        out += "write [" + Printable(w.section) + "] " + Printable(w.key) + " = \"" + Printable(w.text) + "\"\n";
    return out;
}

// ---- the generator ----

const vector<string> kSections = {"CDROM",   "Condition", "Main", "Br]ack]et",
                                  "Sp aced", "x",         "Dup",  "\xD0\xE0\xE7\xE4\xE5\xEB" /* Раздел */,
                                  "#sec",    "a.b"};
const vector<string> kKeys = {"Disk1", "Disk2", "MultiScreen", "a",   "Key", "\xCA\xEB\xFE\xF7" /* Ключ */,
                              "a b",   "#hash", "//c",         "k.1", "Eq",  "[NoClose",
                              "x"};
const vector<string> kValues = {"E:\\",
                                "1",
                                "0",
                                "value",
                                "a=b=c",
                                "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5" /* Значение */,
                                "\"quoted value\"",
                                "'single'",
                                "\"  inner  \"",
                                "\"\"x\"\"",
                                "\"\"",
                                "\"",
                                "\"half open",
                                "half close\"",
                                "a \"b\" c",
                                "value ; note",
                                "",
                                "\xA8\xEB\xEA\xE0 \xB9 \x88" /* Ёлка № € */,
                                "'",
                                "'x\"",
                                "=",
                                "[br]",
                                "C:\\TARVEN\\a b"};
// No line here is a name that is asked for: Wine lets a line without "="
// shadow a later key of that name (see the departures below).
const vector<string> kOther = {"no equals here",
                               "[Other",
                               "#comment-ish",
                               "// slash",
                               ";comment",
                               "; a=b",
                               ";Disk1=commented",
                               "",
                               "   ",
                               "\t",
                               "\xEE\xE4\xED\xE0 \xF1\xF2\xF0\xEE\xEA\xE0"};
const vector<string> kTexts = {
    "1", "0",   "E:\\", "new value", "a=b",    "\"q\"",     "'s'",         "\xC4\xE8\xF1\xEA 2",
    "",  "x;y", "[z]",  " lead",     "trail ", "tab\there", "\xB9\x88\xA8"};
const vector<string> kPads = {"", "", "", " ", "  ", "\t", " \t "};

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    Case Make() {
        Case c;
        c.missing = Chance(4);
        const int style = Pick(4); // CR LF, LF, CR, or a mix
        const char* ends[] = {"\r\n", "\n", "\r"};
        const auto eol = [&] { return string(ends[style == 3 ? Pick(3) : style]); };
        vector<string> sections, keys;
        bool emptyHeader = false;
        const int writes = Pick(5);
        if (!c.missing) {
            const int count = 1 + Pick(14);
            for (int i = 0; i < count; ++i) {
                string line;
                const int kind = i == 0 && Chance(3) ? 1 : Pick(10);
                if (kind < 3) {
                    const string name = Of(kSections);
                    sections.push_back(name);
                    line = Of(kPads) + "[" + Of(kPads) + name + Of(kPads) + "]" +
                           (Chance(5)   ? " junk"
                            : Chance(6) ? "\t; note"
                                        : "");
                } else if (kind < 8) {
                    const string name = Of(kKeys);
                    keys.push_back(name);
                    line = Of(kPads) + name + Of(kPads) + "=" + Of(kPads) + Value() + Of(kPads);
                } else if (kind == 8 || writes > 0) {
                    // Wine rewrites a "[]" header away (a section with the
                    // empty name gets no header line), moving its keys into
                    // the section before: a file with one gets reads only.
                    line = Of(kOther);
                } else {
                    line = "[]";
                    emptyHeader = true;
                }
                c.lines.push_back(line + eol());
            }
            if (Chance(3)) { // no final line end
                string& last = c.lines.back();
                while (!last.empty() && (last.back() == '\r' || last.back() == '\n')) last.pop_back();
            }
        }
        // Wine finds the keys before any section under the empty name, but
        // never those under a "[]" header (its implicit first section always
        // exists); ini-behaviour.md counts "[]" as that section when nothing
        // precedes it. So the empty name is asked for only without "[]".
        if (!emptyHeader) sections.push_back("");
        sections.push_back("Missing");
        keys.push_back("Nope");
        const int reads = 4 + Pick(10);
        for (int i = 0; i < reads; ++i) c.reads.push_back({Ask(Of(sections)), Ask(Of(keys))});
        for (int i = 0; i < writes; ++i) {
            string section = Chance(4) ? "New" + std::to_string(Pick(3)) : Vary(Of(sections));
            if (section.empty()) section = "Main";
            string key = Chance(4) ? "Fresh" + std::to_string(Pick(3)) : Vary(Of(keys));
            // A key line "[x=[z]" would read back as a header: our writer
            // refuses such a name, so writes use ordinary ones.
            if (key.starts_with('[')) key = "Key";
            c.writes.push_back({section, key, Of(kTexts)});
            c.reads.push_back({section, key});
        }
        return c;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int oneIn) { return Pick(oneIn) == 0; }
    const string& Of(const vector<string>& pool) {
        return pool[static_cast<std::size_t>(Pick(static_cast<int>(pool.size())))];
    }

    string Value() {
        if (Chance(25)) { // around the 1023-character limit, quoted or not
            string v(1018 + static_cast<std::size_t>(Pick(10)), 'v');
            v[v.size() / 2] = '\xE9';
            // Wine cuts a quoted value of exactly 1023 characters to 1022.
            return Chance(2) || v.size() == 1023 ? v : "\"" + v + "\"";
        }
        return Of(kValues);
    }

    // ASCII letters in a random case; letters beyond ASCII as they stand.
    string Vary(string name) {
        for (char& ch : name) {
            if (ch >= 'a' && ch <= 'z' && Chance(3))
                ch = static_cast<char>(ch - 'a' + 'A');
            else if (ch >= 'A' && ch <= 'Z' && Chance(3))
                ch = static_cast<char>(ch - 'A' + 'a');
        }
        return name;
    }

    // A name as a request may give it: blanks around it now and then.
    string Ask(const string& name) { return Chance(5) ? Of(kPads) + Vary(name) + Of(kPads) : Vary(name); }

    std::mt19937 random_;
};

// ---- Wine's side ----

class WineProfile {
public:
    explicit WineProfile(fs::path file) : file_(std::move(file)) {}

    // Missing is told from empty by asking with two different defaults.
    optional<std::wstring> Read(const string& section, const string& key) const {
        const std::wstring s = Wide(section), k = Wide(key);
        const std::wstring a = Ask(s, k, L"\x01missing-a"), b = Ask(s, k, L"\x01missing-b");
        if (a == L"\x01missing-a" && b == L"\x01missing-b") return std::nullopt;
        return a;
    }

    bool Write(const WriteOp& w) const {
        return ::WritePrivateProfileStringW(Wide(w.section).c_str(), Wide(w.key).c_str(), Wide(w.text).c_str(),
                                            file_.c_str());
    }

private:
    std::wstring Ask(const std::wstring& s, const std::wstring& k, const wchar_t* def) const {
        std::wstring buffer(1024, L'\0');
        const DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), def, buffer.data(),
                                                   static_cast<DWORD>(buffer.size()), file_.c_str());
        buffer.resize(n);
        return buffer;
    }

    fs::path file_;
};

// ---- our write rule: every byte outside the written line stays ----

vector<string> Lines(const string& file) {
    vector<string> lines;
    std::size_t at = 0;
    while (at < file.size()) {
        std::size_t end = file.find_first_of("\r\n", at);
        if (end == string::npos)
            end = file.size();
        else if (file[end] == '\r' && end + 1 < file.size() && file[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        lines.push_back(file.substr(at, end - at));
        at = end;
    }
    return lines;
}

string Content(const string& line) {
    std::size_t n = line.size();
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n')) --n;
    return line.substr(0, n);
}

string EndOf(const string& line) { return line.substr(Content(line).size()); }

string TrimBlanks(const string& s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Empty when the new file is the old one with only the written line changed,
// inserted or appended (with its section header, and a line end given to an
// unended last line); else what is wrong.
string CheckWriteRule(const optional<string>& before, const string& after, const WriteOp& w) {
    const string keyLine = w.key + "=" + w.text;
    if (before == after) return "";
    if (!before) return after == "[" + w.section + "]\r\n" + keyLine + "\r\n" ? "" : "new file is not header + key";
    const vector<string> o = Lines(*before), n = Lines(after);
    std::size_t a = 0, b = 0;
    while (a < o.size() && a < n.size() && o[a] == n[a]) ++a;
    while (b < o.size() - a && b < n.size() - a && o[o.size() - 1 - b] == n[n.size() - 1 - b]) ++b;
    const vector<string> removed(o.begin() + static_cast<long>(a), o.end() - static_cast<long>(b));
    vector<string> added(n.begin() + static_cast<long>(a), n.end() - static_cast<long>(b));
    const auto isKeyLine = [&](const string& line, const string& name) {
        return Content(line) == name + "=" + w.text && !EndOf(line).empty();
    };
    if (removed.size() > 1) return "more than one old line changed";
    if (removed.size() == 1) {
        const string& r = removed[0];
        const std::size_t eq = Content(r).find('=');
        // The value replaced in place, the name kept as it stands.
        if (added.size() == 1 && eq != string::npos && EndOf(added[0]) == EndOf(r) &&
            Content(added[0]) == TrimBlanks(Content(r).substr(0, eq)) + "=" + w.text)
            return "";
        // The unended last line given a line end, then new lines after it.
        if (a + 1 != o.size() || !EndOf(r).empty() || added.empty() || Content(added[0]) != r ||
            EndOf(added[0]).empty())
            return "an old line was changed";
        added.erase(added.begin());
    }
    if (added.size() == 1 && isKeyLine(added[0], w.key)) return "";
    if (added.size() == 2 && Content(added[0]) == "[" + w.section + "]" && !EndOf(added[0]).empty() &&
        isKeyLine(added[1], w.key) && a + (removed.empty() ? 0 : 1) == o.size())
        return "";
    return "the file changed beyond the written line";
}

// ---- one case ----

class Runner {
public:
    explicit Runner(fs::path folder) : folder_(std::move(folder)) {}

    int reads = 0, writes = 0;

    // Empty when the case passes; else the first disagreement.
    string Run(const Case& c) {
        // A new name every run: the profile functions cache files by name.
        const fs::path file = folder_ / ("case" + std::to_string(++serial_) + ".ini");
        optional<string> ours;
        if (!c.missing) {
            ours = c.File();
            testenv::WriteFile(file, *ours);
        }
        const WineProfile wine(file);
        string failure = CompareReads(c, ours, wine, "before any write");
        for (std::size_t i = 0; failure.empty() && i < c.writes.size(); ++i) {
            const WriteOp& w = c.writes[i];
            ++writes;
            optional<string> next;
            try {
                next = host::ini::Write(ours, host::Cp1251ToUtf8(w.section), host::Cp1251ToUtf8(w.key),
                                        host::Cp1251ToUtf8(w.text));
            } catch (const std::exception& e) {
                failure = "our write " + std::to_string(i + 1) + " failed: " + e.what();
                break;
            }
            if (!wine.Write(w)) {
                failure = "WritePrivateProfileStringW failed at write " + std::to_string(i + 1);
                break;
            }
            if (next) {
                failure = CheckWriteRule(ours, *next, w);
                if (!failure.empty()) {
                    failure = "write " + std::to_string(i + 1) + ": " + failure + "\nours after:\n  \"" +
                              Printable(*next) + "\"";
                    break;
                }
                ours = std::move(next);
            } else if (!ours) {
                failure = "our write " + std::to_string(i + 1) + " made no file";
                break;
            }
            failure = CompareReads(c, ours, wine, "after write " + std::to_string(i + 1));
        }
        std::error_code ec;
        fs::remove(file, ec);
        return failure;
    }

private:
    string CompareReads(const Case& c, const optional<string>& ours, const WineProfile& wine, const string& when) {
        for (const Request& r : c.reads) {
            ++reads;
            optional<std::wstring> mine;
            if (ours) {
                if (auto v = host::ini::Read(*ours, host::Cp1251ToUtf8(r.section), host::Cp1251ToUtf8(r.key))) {
                    const int n = ::MultiByteToWideChar(CP_UTF8, 0, v->data(), static_cast<int>(v->size()), nullptr, 0);
                    std::wstring w(static_cast<std::size_t>(n), L'\0');
                    ::MultiByteToWideChar(CP_UTF8, 0, v->data(), static_cast<int>(v->size()), w.data(), n);
                    mine = w;
                }
            }
            const optional<std::wstring> theirs = wine.Read(r.section, r.key);
            if (mine != theirs) {
                const auto show = [](const optional<std::wstring>& v) {
                    if (!v) return string("(missing)");
                    string bytes(v->size() * 2, '\0');
                    const int n = ::WideCharToMultiByte(1251, 0, v->data(), static_cast<int>(v->size()), bytes.data(),
                                                        static_cast<int>(bytes.size()), nullptr, nullptr);
                    bytes.resize(static_cast<std::size_t>(n));
                    return "\"" + Printable(bytes) + "\"";
                };
                return when + ": read [" + Printable(r.section) + "] " + Printable(r.key) + ": ours " + show(mine) +
                       ", Wine " + show(theirs);
            }
        }
        return {};
    }

    fs::path folder_;
    int serial_ = 0;
};

// The smallest case that still fails: lines, reads and writes dropped one at
// a time while the failure stays.
Case Shrink(Case c, Runner& runner) {
    const auto fails = [&](const Case& t) { return !runner.Run(t).empty(); };
    for (bool progress = true; progress;) {
        progress = false;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            Case t = c;
            t.lines.erase(t.lines.begin() + static_cast<long>(i));
            if (fails(t)) {
                c = std::move(t);
                progress = true;
                --i;
            }
        }
        for (std::size_t i = 0; i < c.writes.size(); ++i) {
            Case t = c;
            t.writes.erase(t.writes.begin() + static_cast<long>(i));
            if (fails(t)) {
                c = std::move(t);
                progress = true;
                --i;
            }
        }
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            Case t = c;
            t.reads.erase(t.reads.begin() + static_cast<long>(i));
            if (fails(t)) {
                c = std::move(t);
                progress = true;
                --i;
            }
        }
    }
    return c;
}

TEST(IniDifferential, OurReaderAndWriterAgreeWithTheProfileFunctions) {
    ASSERT_EQ(::GetACP(), 1251u)
        << "Wine must run with the Russian code page (LC_ALL=ru_RU.UTF-8, as scripts/wine-run sets)";
    testenv::Sandbox box;
    Runner runner(box.WorkDir());
    Generator generator(20261208);
    constexpr int kCases = 1000;
    const auto start = std::chrono::steady_clock::now();
    int failed = 0, cases = 0;
    for (int i = 0; i < kCases; ++i, ++cases) {
        const Case c = generator.Make();
        const string failure = runner.Run(c);
        if (failure.empty()) continue;
        ++failed;
        const Case small = Shrink(c, runner);
        ADD_FAILURE() << "case " << i << " disagrees; smallest failing case:\n" << Describe(small) << runner.Run(small);
        if (failed >= 3) break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d cases, %d reads compared, %d writes, %.1f s\n", cases, runner.reads, runner.writes, seconds);
    if (failed == 0) {
        EXPECT_EQ(cases, kCases);
        EXPECT_GT(runner.writes, kCases);
    }
}

// Where our reader and writer differ from Wine's profile functions, each on
// purpose or because Wine's own behaviour is a fault; both sides are pinned,
// so a change on either shows.
TEST(IniDifferential, KnownDeparturesFromWine) {
    ASSERT_EQ(::GetACP(), 1251u);
    testenv::Sandbox box;
    int serial = 0;
    struct Both {
        optional<string> ours;
        optional<std::wstring> wine;
    };
    const auto read = [&](const string& file, const string& section, const string& key) {
        const fs::path path = box.WorkDir() / ("known" + std::to_string(++serial) + ".ini");
        testenv::WriteFile(path, file);
        return Both{host::ini::Read(file, host::Cp1251ToUtf8(section), host::Cp1251ToUtf8(key)),
                    WineProfile(path).Read(section, key)};
    };

    // A comment line is never data for us; Wine returns it asked by name.
    Both b = read("[S]\r\n;c=1\r\n", "S", ";c");
    EXPECT_EQ(b.ours, std::nullopt);
    EXPECT_EQ(b.wine, L"1");

    // Names differing in the case of letters beyond ASCII: equal for us (as
    // for Windows), different for Wine.
    b = read("[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA\xEB\xFE\xF7=1\r\n", "\xD0\xC0\xC7\xC4\xC5\xCB", "\xEA\xEB\xFE\xF7");
    EXPECT_EQ(b.ours, "1");
    EXPECT_EQ(b.wine, std::nullopt);

    // "[]" with nothing before it is the section with the empty name for us;
    // Wine searches only its implicit first section under that name.
    b = read("[]\r\nk=v\r\n", "", "k");
    EXPECT_EQ(b.ours, "v");
    EXPECT_EQ(b.wine, std::nullopt);
    b = read("k=before\r\n[]\r\nk=v\r\n", "", "k");
    EXPECT_EQ(b.ours, "before");
    EXPECT_EQ(b.wine, L"before");

    // A line without "=" is no key for us; for Wine it hides a later key of
    // the same name.
    b = read("[S]\r\nk\r\nk=v\r\n", "S", "k");
    EXPECT_EQ(b.ours, "v");
    EXPECT_EQ(b.wine, std::nullopt);

    // A quoted value of exactly 1023 characters: Wine loses its last one.
    const string v(1023, 'v');
    b = read("[S]\r\nq=\"" + v + "\"\r\n", "S", "q");
    EXPECT_EQ(b.ours, v);
    EXPECT_EQ(b.wine, std::wstring(1022, L'v'));

    // Blanks around a request's names are trimmed by both.
    b = read("[ S ]\r\n k = v \r\n", " S\t", "\tk ");
    EXPECT_EQ(b.ours, "v");
    EXPECT_EQ(b.wine, L"v");

    // Wine's write rewrites the whole file and drops a "[]" header, so the
    // keys under it move into the section before; ours changes one line.
    const fs::path path = box.WorkDir() / "rewrite.ini";
    const string file = "[A]\r\na=1\r\n[]\r\nk=v\r\n";
    testenv::WriteFile(path, file);
    ASSERT_TRUE(WineProfile(path).Write({"B", "b", "2"}));
    EXPECT_EQ(WineProfile(path).Read("A", "k"), L"v");
    const auto ours = host::ini::Write(file, "B", "b", "2");
    ASSERT_TRUE(ours);
    EXPECT_EQ(*ours, file + "[B]\r\nb=2\r\n");
    EXPECT_EQ(host::ini::Read(*ours, "A", "k"), std::nullopt);
}

} // namespace
