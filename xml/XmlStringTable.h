#pragma once
// TXmlSymbolTable: every name and text of a document, interned once and referred to by ID.
#include "xml/XmlDebug.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kq {

class TStream;

// Unsigned 32-bit values in groups of 7 bits, least significant group first; bit 0x80 marks a byte
// that another follows.
void write_cardinal(TStream& s, std::uint32_t value);
enum class read_status : std::uint8_t { ok, short_read, too_long };
// Bytes already in memory, read without a call per byte.
struct byte_cursor {
    const unsigned char* next;
    const unsigned char* end;
};
// Reads at most five groups: a sixth is `too_long`, a stream that ends inside the value `short_read`.
read_status read_cardinal(TStream& s, std::uint32_t& value);
read_status read_cardinal(byte_cursor& c, std::uint32_t& value) noexcept;

struct TXmlSymbol {
    std::int32_t FID = 0;
    std::uint32_t FFreq = 0;
    std::uint32_t FSymbolStyle = 0;
    std::int32_t FCharCount = 0;
    std::uint32_t FHash = 0;      // of the text, kept for growing the table's hash
    const char* FFirst = nullptr; // bytes in the table's text store
    std::string_view View() const noexcept { return {FFirst, static_cast<std::size_t>(FCharCount)}; }
    std::string AsString() const { return std::string(View()); }
};

// Interns the UTF-8 texts of one document: ID 0 is the empty string, IDs count from 1 in order of first use.
class TXmlSymbolTable : public TDebugComponent {
public:
    explicit TXmlSymbolTable(TComponent* owner = nullptr) : TDebugComponent(owner) {}

    void Clear();
    std::int32_t AddString(std::string_view s);
    std::string GetString(std::int32_t id);
    // The stored text without a copy; empty for IDs outside the table (no message).
    std::string_view View(std::int32_t id) const noexcept;

    std::int32_t SymbolCount() const noexcept { return static_cast<std::int32_t>(FByID.size()); }
    std::int32_t PluralSymbolCount() const noexcept { return FPluralSymbolCount; }

    void ClearFrequency();
    void IncrementFrequency(std::int32_t id);
    // new_ids[old ID] = new ID, for IDs 1..SymbolCount (entry 0 stays 0).
    void SortByFrequency(std::vector<std::int32_t>& new_ids);

    void SaveToStream(TStream& s, std::int32_t count);
    void SaveSymbol(TStream& s, std::int32_t symbol_id);
    // Not `ok` when the stream ended early or held an invalid cardinal: the symbols read so far stay.
    read_status LoadFromStream(TStream& s);
    std::int32_t LoadSymbol(TStream& s);
    // The same, telling whether the whole entry was there; bytes cut by the end of the stream are kept.
    std::int32_t LoadSymbol(TStream& s, read_status& status);
    std::int32_t LoadSymbol(byte_cursor& c, read_status& status);
    // Room for this many symbols in all, so a loader that knows roughly how many come does not rehash.
    void reserve_symbols(std::size_t count);
    // While on, loaded symbols are only appended; they join the lookup (and a duplicate is reported)
    // together in join_deferred or at the next lookup, so a long load probes the hash in one pass that
    // fetches ahead instead of waiting on memory for every symbol.
    void defer_lookups(bool on) noexcept { FDeferLookups = on; }
    void join_deferred() { insert_pending(); }
    std::uint32_t symbol_style(std::int32_t id) const noexcept {
        return id <= 0 || id > SymbolCount() ? 0 : FByID[static_cast<std::size_t>(id - 1)]->FSymbolStyle;
    }
    void SaveToFile(const String& file_name);
    void LoadFromFile(const String& file_name);

private:
    TXmlSymbol& NewSymbol(std::string_view s, std::uint32_t style);
    void Rehash(std::size_t slot_count);
    std::int32_t add_loaded(std::string_view s, std::uint32_t style);
    std::size_t FindSlot(std::string_view s, std::uint32_t hash) const noexcept;
    // Puts the symbols from FPending on into the lookup.
    void insert_pending();
    void insert_loaded(std::size_t position);

    // Symbols live in a deque so their addresses stay put; their bytes live in large blocks.
    std::deque<TXmlSymbol> FStore;
    std::vector<std::unique_ptr<char[]>> FTextBlocks;
    std::size_t FTextLeft = 0;
    char* FTextNext = nullptr;
    std::vector<TXmlSymbol*> FByID;
    // Open-addressed hash of the symbols (position in FByID + 1, 0 for a free slot, with the text's
    // hash, so a probe reads a symbol's text only when the hashes agree): interning stays linear in the
    // text, and the lookup only needs equality.
    struct hash_slot {
        std::uint32_t entry = 0;
        std::uint32_t hash = 0;
    };
    std::vector<hash_slot> FBySymbol;
    std::int32_t FPluralSymbolCount = 0;
    std::size_t FPending = 0; // positions in FByID from here on are not in FBySymbol yet
    bool FDeferLookups = false;
    std::string FLoadBuffer; // the bytes of the entry being loaded, kept to spare an allocation each
};

} // namespace kq
