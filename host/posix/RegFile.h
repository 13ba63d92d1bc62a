#pragma once
// The key store file in the registry editor's export format: parsing and
// writing, with no file access, so that the store and a fuzz target share it.
// Values keep their raw data as the registry would hold them (strings as
// UTF-16LE), so that whatever was read is written back unchanged.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace host::regfile {

struct Value {
    std::string name; // as stored; empty for the unnamed value ("@")
    std::string fold; // the name for comparison without regard to case
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
};

struct Key {
    std::vector<std::string> path; // components below HKEY_CURRENT_USER, as stored
    std::vector<std::string> fold;
    std::vector<Value> values; // in store order
    // Folded name -> place in values, so that a store of many values is read
    // and changed in linear time.
    std::unordered_map<std::string, std::size_t> valueIndex;
};

// The name as compared: letters upper-cased, so that "Font" and "FONT",
// "Шрифт" and "ШРИФТ" are one name.
std::string FoldName(std::string_view name);

// Splits a key path at "\" into its parts, as written. False for an empty
// part (a doubled, leading or trailing "\") or a part that the file cannot
// hold (invalid UTF-8, a control character); an empty path is the root key.
bool SplitPath(std::string_view path, std::vector<std::string>& parts);

// A name that the file can hold: valid UTF-8 without control characters.
bool IsStorableName(std::string_view name);

class Store final {
public:
    std::vector<Key> keys; // one per section, in file order; change only through Create

    // The key with exactly this path (folded parts), or null. A key that
    // exists only as the parent of another has no section of its own.
    const Key* Find(const std::vector<std::string>& foldedPath) const;
    Key* Find(const std::vector<std::string>& foldedPath);
    // True when the key has a section or is the parent of one; the root
    // always exists.
    bool Exists(const std::vector<std::string>& foldedPath) const;
    // The key, made when missing; new parts take the stored case of parents
    // that exist already.
    Key& Create(const std::vector<std::string>& path);

    static const Value* FindValue(const Key& key, std::string_view name);
    // Replaces the data (keeping the value's place and stored name) or adds
    // the value at the end.
    static void SetValue(Key& key, std::string_view name, std::uint32_t type, std::vector<unsigned char> data);

private:
    // Joined folded paths: of every key with a section, and of every prefix
    // of one (the keys that exist).
    std::unordered_map<std::string, std::size_t> keyIndex_;
    std::unordered_map<std::string, std::size_t> prefixOwner_; // -> first key below it
};

// Parses the file's bytes. Throws HostError "<fileName>, строка N: reason".
// Empty or blank content is an empty store.
Store Parse(std::string_view bytes, std::string_view fileName);

// The file's bytes: the version 5.00 header, one section per key, CR LF
// line ends, long hex lists continued after "\".
std::string Serialize(const Store& store);

// Same keys and values, names and data (used to check that a parsed store
// survives writing and reading back).
bool SameContent(const Store& a, const Store& b);

// UTF-8 to UTF-16LE and back. ToUtf16 gives nothing for invalid UTF-8;
// FromUtf16 stops at the first zero character and, when strict, gives nothing
// for broken surrogates (else puts U+FFFD for them).
bool ToUtf16(std::string_view text, std::vector<unsigned char>& out);
bool FromUtf16(const std::vector<unsigned char>& data, bool strict, std::string& out);

} // namespace host::regfile
