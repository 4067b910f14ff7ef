#include "xml/XmlStringTable.h"

#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "xml/XmlStreams.h"
#include "xml/XmlTypes.h"

#include <cstring>
#include <utility>

namespace kq {

void write_cardinal(TStream& s, std::uint32_t value) {
    std::uint8_t bytes[5];
    int n = 0;
    do {
        std::uint8_t b = value & 0x7F;
        value >>= 7;
        if (value) b |= 0x80;
        bytes[n++] = b;
    } while (value);
    s.WriteBuffer(bytes, n);
}

namespace {
// Five groups fill 32 bits; a longer run is refused, so a hostile stream cannot shift past the width.
template <class NextByte>
read_status read_groups(NextByte&& next, std::uint32_t& value) {
    value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        std::uint8_t b = 0;
        if (!next(b)) return read_status::short_read;
        value |= static_cast<std::uint32_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return read_status::ok;
    }
    return read_status::too_long;
}
} // namespace

read_status read_cardinal(TStream& s, std::uint32_t& value) {
    return read_groups([&](std::uint8_t& b) { return s.Read(&b, 1) == 1; }, value);
}

read_status read_cardinal(byte_cursor& c, std::uint32_t& value) noexcept {
    return read_groups(
        [&](std::uint8_t& b) {
            if (c.next == c.end) return false;
            b = *c.next++;
            return true;
        },
        value);
}

namespace {

std::uint32_t hash_text(std::string_view s) noexcept {
    std::uint64_t h = 1469598103934665603ull; // FNV-1a, then mixed: the slot takes the low bits
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

constexpr std::size_t text_block_size = 65536;

} // namespace

void TXmlSymbolTable::Clear() {
    FBySymbol.clear();
    FByID.clear();
    FStore.clear();
    FTextBlocks.clear();
    FTextLeft = 0;
    FTextNext = nullptr;
    FPluralSymbolCount = 0;
    FPending = 0;
}

std::size_t TXmlSymbolTable::FindSlot(std::string_view s, std::uint32_t hash) const noexcept {
    const std::size_t mask = FBySymbol.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const hash_slot& slot = FBySymbol[i];
        if (slot.entry == 0 || (slot.hash == hash && FByID[slot.entry - 1]->View() == s)) return i;
    }
}

void TXmlSymbolTable::Rehash(std::size_t slot_count) {
    // From the ID list with each symbol's kept hash: no text is read again. The first of two equal texts
    // (a loaded table may hold both) is the one found.
    FBySymbol.assign(slot_count, hash_slot{});
    for (std::size_t i = 0; i < FPending; ++i) {
        const TXmlSymbol* sym = FByID[i];
        if (sym->FCharCount == 0) continue;
        hash_slot& slot = FBySymbol[FindSlot(sym->View(), sym->FHash)];
        if (slot.entry == 0) slot = {static_cast<std::uint32_t>(i + 1), sym->FHash};
    }
}

TXmlSymbol& TXmlSymbolTable::NewSymbol(std::string_view s, std::uint32_t style) {
    TXmlSymbol& sym = FStore.emplace_back();
    sym.FSymbolStyle = style;
    sym.FCharCount = static_cast<std::int32_t>(s.size());
    if (!s.empty()) {
        char* at;
        if (s.size() > text_block_size / 4) { // a long text gets a block of its own
            FTextBlocks.push_back(std::make_unique<char[]>(s.size()));
            at = FTextBlocks.back().get();
        } else {
            if (FTextLeft < s.size()) {
                FTextBlocks.push_back(std::make_unique<char[]>(text_block_size));
                FTextNext = FTextBlocks.back().get();
                FTextLeft = text_block_size;
            }
            at = FTextNext;
            FTextNext += s.size();
            FTextLeft -= s.size();
        }
        std::memcpy(at, s.data(), s.size());
        sym.FFirst = at;
    }
    FByID.push_back(&sym);
    sym.FID = static_cast<std::int32_t>(FByID.size());
    return sym;
}

void TXmlSymbolTable::insert_loaded(std::size_t position) {
    TXmlSymbol& sym = *FByID[position];
    if (sym.FCharCount == 0) return;
    hash_slot& slot = FBySymbol[FindSlot(sym.View(), sym.FHash)];
    if (slot.entry != 0) {
        DoDebugOut(this, wsFail, "duplicate symbol!");
        return;
    }
    slot = {static_cast<std::uint32_t>(position + 1), sym.FHash};
}

void TXmlSymbolTable::insert_pending() {
    const std::size_t from = FPending, to = FByID.size();
    if (from == to) return;
    std::size_t slots = FBySymbol.empty() ? 1024 : FBySymbol.size();
    while (to * 2 > slots) slots *= 2;
    if (slots != FBySymbol.size()) Rehash(slots);
    FPending = to;
    const std::size_t mask = FBySymbol.size() - 1;
    constexpr std::size_t ahead = 8;
    for (std::size_t i = from; i < to; ++i) {
        if (i + ahead < to) __builtin_prefetch(&FBySymbol[FByID[i + ahead]->FHash & mask]);
        insert_loaded(i);
    }
}

std::int32_t TXmlSymbolTable::AddString(std::string_view s) {
    if (s.empty()) return 0;
    insert_pending();
    if (FBySymbol.empty()) FBySymbol.assign(1024, hash_slot{});
    const std::uint32_t hash = hash_text(s);
    const std::size_t slot = FindSlot(s, hash);
    if (FBySymbol[slot].entry != 0) return FByID[FBySymbol[slot].entry - 1]->FID;
    TXmlSymbol& sym = NewSymbol(s, 0);
    sym.FHash = hash;
    FBySymbol[slot] = {static_cast<std::uint32_t>(FByID.size()), hash};
    FPending = FByID.size();
    if (FByID.size() * 2 > FBySymbol.size()) Rehash(FBySymbol.size() * 2);
    return sym.FID;
}

std::string TXmlSymbolTable::GetString(std::int32_t id) {
    if (id <= 0) return {};
    if (id > SymbolCount()) {
        DoDebugOut(this, wsWarn, "string ID not found");
        return {};
    }
    return FByID[id - 1]->AsString();
}

std::string_view TXmlSymbolTable::View(std::int32_t id) const noexcept {
    if (id <= 0 || id > static_cast<std::int32_t>(FByID.size())) return {};
    return FByID[id - 1]->View();
}

void TXmlSymbolTable::ClearFrequency() {
    for (TXmlSymbol* s : FByID) s->FFreq = 0;
}

void TXmlSymbolTable::IncrementFrequency(std::int32_t id) {
    if (id > 0 && id <= SymbolCount()) ++FByID[id - 1]->FFreq;
}

void TXmlSymbolTable::SortByFrequency(std::vector<std::int32_t>& new_ids) {
    insert_pending(); // positions change below
    // Highest count first, the middle element as pivot. Equal counts keep their ID order, so sorting
    // an already sorted table changes nothing and two binary saves of one document give the same bytes.
    const auto before = [](const TXmlSymbol* a, const TXmlSymbol* b) {
        return a->FFreq > b->FFreq || (a->FFreq == b->FFreq && a->FID < b->FID);
    };
    if (!FByID.empty()) {
        detail::quicksort(0, SymbolCount() - 1, [&](int lo, int hi) {
            int i = lo, j = hi;
            const TXmlSymbol* pivot = FByID[(lo + hi) / 2];
            while (i <= j) {
                while (before(FByID[i], pivot)) ++i;
                while (before(pivot, FByID[j])) --j;
                if (i <= j) std::swap(FByID[i++], FByID[j--]);
            }
            return std::pair{i, j};
        });
    }
    FPluralSymbolCount = 0;
    while (FPluralSymbolCount < SymbolCount() && FByID[FPluralSymbolCount]->FFreq > 1) ++FPluralSymbolCount;
    new_ids.assign(FByID.size() + 1, 0);
    for (std::size_t i = 0; i < FByID.size(); ++i) {
        new_ids[FByID[i]->FID] = static_cast<std::int32_t>(i + 1);
        FByID[i]->FID = static_cast<std::int32_t>(i + 1);
    }
    if (!FBySymbol.empty()) Rehash(FBySymbol.size());
}

void TXmlSymbolTable::reserve_symbols(std::size_t count) {
    std::size_t slots = 1024;
    while (slots < 2 * count) slots *= 2;
    if (slots > FBySymbol.size()) Rehash(slots);
}

void TXmlSymbolTable::SaveToStream(TStream& s, std::int32_t count) {
    write_cardinal(s, static_cast<std::uint32_t>(count));
    for (std::int32_t id = 1; id <= count; ++id) SaveSymbol(s, id);
}

void TXmlSymbolTable::SaveSymbol(TStream& s, std::int32_t symbol_id) {
    if (symbol_id <= 0) {
        DoDebugOut(this, wsFail, "symbol ID <= 0");
        return;
    }
    if (symbol_id > SymbolCount()) raise_list_index_error(symbol_id - 1);
    const TXmlSymbol& sym = *FByID[symbol_id - 1];
    write_cardinal(s, sym.FSymbolStyle);
    write_cardinal(s, static_cast<std::uint32_t>(sym.FCharCount));
    if (sym.FCharCount > 0) s.WriteBuffer(sym.FFirst, sym.FCharCount);
}

read_status TXmlSymbolTable::LoadFromStream(TStream& s) {
    Clear();
    std::uint32_t count = 0;
    read_status status = read_cardinal(s, count);
    // A count larger than the stream can hold stops at the end of the data instead of allocating for it.
    for (std::uint32_t i = 0; i < count && status == read_status::ok; ++i) {
        if (s.Position() >= s.Size()) return read_status::short_read;
        LoadSymbol(s, status);
    }
    return status;
}

std::int32_t TXmlSymbolTable::LoadSymbol(TStream& s) {
    read_status ignored;
    return LoadSymbol(s, ignored);
}

std::int32_t TXmlSymbolTable::LoadSymbol(TStream& s, read_status& status) {
    std::uint32_t style = 0, length = 0;
    status = read_cardinal(s, style);
    if (status == read_status::ok) status = read_cardinal(s, length);
    const std::int64_t left = s.Size() - s.Position();
    if (left < 0 || length > static_cast<std::uint64_t>(left)) {
        length = static_cast<std::uint32_t>(left < 0 ? 0 : left);
        if (status == read_status::ok) status = read_status::short_read;
    }
    FLoadBuffer.resize(length);
    if (length) s.Read(FLoadBuffer.data(), length);
    return add_loaded(FLoadBuffer, style);
}

std::int32_t TXmlSymbolTable::LoadSymbol(byte_cursor& c, read_status& status) {
    std::uint32_t style = 0, length = 0;
    status = read_cardinal(c, style);
    if (status == read_status::ok) status = read_cardinal(c, length);
    const std::size_t left = static_cast<std::size_t>(c.end - c.next);
    if (length > left) {
        length = static_cast<std::uint32_t>(left);
        if (status == read_status::ok) status = read_status::short_read;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(c.next), length);
    c.next += length;
    return add_loaded(bytes, style);
}

std::int32_t TXmlSymbolTable::add_loaded(std::string_view bytes, std::uint32_t style) {
    TXmlSymbol& sym = NewSymbol(bytes, style);
    sym.FHash = hash_text(bytes);
    if (!FDeferLookups) insert_pending();
    return sym.FID;
}

void TXmlSymbolTable::SaveToFile(const String& file_name) {
    TXmlFastMemStream m(4096);
    SaveToStream(m, SymbolCount());
    m.SaveToFile(file_name);
}

void TXmlSymbolTable::LoadFromFile(const String& file_name) {
    TXmlFastMemStream m(4096);
    m.LoadFromFile(file_name);
    m.SetPosition(0);
    LoadFromStream(m);
}

} // namespace kq
