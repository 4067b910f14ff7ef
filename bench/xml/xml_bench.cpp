// Loads a generated 10 MB document into a tree and writes it back, with this library and two others;
// also this library's binary form against its text.
// Every heap byte of a run is counted at the C allocator, so "peak_MB" is all the load holds.
#include "bench/Paired.h"
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>
#include <pugixml.hpp>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>


namespace {

// Every heap byte counts, whoever allocates it (operator new, the libraries' own malloc calls, stream
// buffers): the C allocator itself is wrapped below and forwards to the C library's entry points.
std::int64_t current_bytes = 0;
std::int64_t peak_bytes = 0;

// Counting runs only inside a memory row's peak_scope (and never with KQ_BENCH_NO_COUNT=1): a call per
// allocation for all three libraries would weigh on the speed rows.
const bool counting_allowed = !std::getenv("KQ_BENCH_NO_COUNT");
bool counting = false;

void note_alloc(void* p) {
    if (!p || !counting) return;
    current_bytes += static_cast<std::int64_t>(malloc_usable_size(p));
    if (current_bytes > peak_bytes) peak_bytes = current_bytes;
}

void note_free(void* p) {
    if (p && counting) current_bytes -= static_cast<std::int64_t>(malloc_usable_size(p));
}

// Mixed content: elements with attributes, text with entities, comments, CDATA and nesting.
const std::string& sample() {
    static const std::string text = [] {
        std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<catalog>\n";
        for (int i = 0; s.size() < 10 * 1024 * 1024; ++i) {
            const std::string n = std::to_string(i);
            s += "  <item id=\"" + n + "\" kind='part' price=\"" + std::to_string(i % 977) + ".25\">\n";
            s += "    <name>Part &amp; piece " + n + "</name>\n";
            s += "    <note>Fits &lt;model " + n + "&gt; and &quot;others&quot;</note>\n";
            if (i % 10 == 0) s += "    <!-- batch " + n + " -->\n    <raw><![CDATA[a < b && c]]></raw>\n";
            s += "    <size w=\"" + std::to_string(i % 100) + "\" h=\"7\"/>\n  </item>\n";
        }
        return s + "</catalog>\n";
    }();
    return text;
}

// The peak above what was held when the scope began (the sample text among it).
struct peak_scope {
    std::int64_t baseline = 0;
    peak_scope() {
        counting = counting_allowed;
        current_bytes = peak_bytes = 0;
    }
    ~peak_scope() { counting = false; }
    peak_scope(const peak_scope&) = delete;
    peak_scope& operator=(const peak_scope&) = delete;
    double bytes() const { return static_cast<double>(peak_bytes - baseline); }
    double megabytes() const { return bytes() / (1024.0 * 1024.0); }
};

std::size_t node_count() {
    static const std::size_t count = [] {
        pugi::xml_document doc;
        doc.load_buffer(sample().data(), sample().size());
        struct counter : pugi::xml_tree_walker {
            std::size_t n = 0;
            bool for_each(pugi::xml_node& node) override {
                n += 1 + static_cast<std::size_t>(std::distance(node.attributes_begin(), node.attributes_end()));
                return true;
            }
        } c;
        doc.traverse(c);
        return c.n;
    }();
    return count;
}

void report(benchmark::State& state, const peak_scope& peak) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample().size()));
    state.counters["peak_MB"] = peak.megabytes();
    state.counters["bytes_per_node"] = peak.bytes() / static_cast<double>(node_count());
}

void BM_KqLoad(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        kq::TXmlDocument doc;
        doc.ReadFromString(text);
        benchmark::DoNotOptimize(doc.Root());
    }
    report(state, peak);
}

void BM_KqLoadSave(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        kq::TXmlDocument doc;
        doc.ReadFromString(text);
        kq::TXmlFastMemStream out(static_cast<std::int32_t>(text.size() + 1024));
        doc.SaveToStream(out);
        benchmark::DoNotOptimize(out.Size());
    }
    report(state, peak);
}

// The library's text save and its binary form, each on the tree of the same document loaded once.
void BM_KqSave(benchmark::State& state) {
    kq::TXmlDocument doc;
    doc.ReadFromString(sample());
    for (auto _ : state) {
        kq::TXmlFastMemStream out(static_cast<std::int32_t>(sample().size() + 1024));
        doc.SaveToStream(out);
        benchmark::DoNotOptimize(out.Size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample().size()));
}

void BM_KqBinarySave(benchmark::State& state) {
    kq::TXmlDocument doc;
    doc.ReadFromString(sample());
    std::int64_t size = 0;
    for (auto _ : state) {
        kq::TXmlFastMemStream out(static_cast<std::int32_t>(sample().size() + 1024));
        doc.SaveToBinaryStream(out);
        size = out.Size();
        benchmark::DoNotOptimize(size);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample().size()));
    state.counters["binary_MB"] = static_cast<double>(size) / (1024.0 * 1024.0);
}

// Rates are given per byte of the text form, so they compare with the text load directly. Freeing the
// tree costs the same after either load; the "Build" rows leave it out of the time to show the loads alone.
enum class freeing { timed, untimed };

template <freeing Free, class Load>
void load_rows(benchmark::State& state, Load&& load) {
    peak_scope peak;
    for (auto _ : state) {
        auto doc = std::make_unique<kq::TXmlDocument>();
        load(*doc);
        benchmark::DoNotOptimize(doc->Root());
        if (Free == freeing::untimed) state.PauseTiming();
        doc.reset();
        if (Free == freeing::untimed) state.ResumeTiming();
    }
    report(state, peak);
}

kq::TXmlFastMemStream& binary_sample() {
    static kq::TXmlFastMemStream binary(static_cast<std::int32_t>(sample().size()));
    if (binary.Size() == 0) {
        kq::TXmlDocument doc;
        doc.ReadFromString(sample());
        doc.SaveToBinaryStream(binary);
    }
    return binary;
}

template <freeing Free>
void BM_KqBinaryLoad(benchmark::State& state) {
    kq::TXmlFastMemStream& binary = binary_sample();
    load_rows<Free>(state, [&](kq::TXmlDocument& doc) {
        binary.SetPosition(0);
        doc.LoadFromBinaryStream(binary);
    });
}

template <freeing Free>
void BM_KqTextLoad(benchmark::State& state) {
    load_rows<Free>(state, [&](kq::TXmlDocument& doc) { doc.ReadFromString(sample()); });
}

void BM_Libxml2Load(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "bench.xml", nullptr, 0);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    report(state, peak);
}

void BM_Libxml2LoadSave(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "bench.xml", nullptr, 0);
        xmlChar* out = nullptr;
        int size = 0;
        xmlDocDumpMemory(doc, &out, &size);
        benchmark::DoNotOptimize(size);
        xmlFree(out);
        xmlFreeDoc(doc);
    }
    report(state, peak);
}

void BM_PugiLoad(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(doc.first_child());
    }
    report(state, peak);
}

void BM_PugiLoadSave(benchmark::State& state) {
    const std::string& text = sample();
    peak_scope peak;
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_buffer(text.data(), text.size());
        struct sink : pugi::xml_writer {
            std::string out;
            void write(const void* data, std::size_t size) override {
                out.append(static_cast<const char*>(data), size);
            }
        } s;
        doc.save(s, "", pugi::format_raw);
        benchmark::DoNotOptimize(s.out.size());
    }
    report(state, peak);
}

// --- Ratios: both sides alternate in one loop (bench/Paired.h), after their trees were compared

// What a tree holds, the same whichever library read it: elements, attributes (name and value) and the
// texts that are not only white space (CDATA as text), in document order, folded into a hash.
struct digest {
    std::size_t elements = 0, attributes = 0, texts = 0;
    std::uint64_t hash = 1469598103934665603u;
    void add(char kind, std::string_view a, std::string_view b = {}) {
        for (const std::string_view part : {std::string_view(&kind, 1), a, std::string_view("\0", 1), b})
            for (const char c : part)
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    void text(std::string_view t) {
        if (t.find_first_not_of(" \t\r\n") == std::string_view::npos)
            return;
        ++texts;
        add('T', t);
    }
    bool operator==(const digest&) const = default;
};

void walk(const kq::TXmlNode& node, digest& d) {
    for (int i = 0; i < node.NodeCount(); ++i) {
        const kq::TXmlNode& child = *node.Nodes(i);
        switch (child.ElementType()) {
        case kq::xeElement:
            ++d.elements;
            d.add('E', child.Name());
            walk(child, d);
            d.add('/', {});
            break;
        case kq::xeAttribute:
            ++d.attributes;
            d.add('A', child.Name(), child.Value());
            break;
        case kq::xeCharData:
        case kq::xeCData:
            d.text(child.Value());
            break;
        default:
            break;
        }
    }
}

digest digest_of(const kq::TXmlDocument& doc) {
    digest d;
    ++d.elements;
    d.add('E', doc.Root()->Name());
    walk(*doc.Root(), d);
    d.add('/', {});
    return d;
}

void walk(const xmlNode* node, digest& d) {
    for (; node; node = node->next) {
        if (node->type == XML_ELEMENT_NODE) {
            ++d.elements;
            d.add('E', reinterpret_cast<const char*>(node->name));
            for (const xmlAttr* a = node->properties; a; a = a->next) {
                ++d.attributes;
                xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
                d.add('A', reinterpret_cast<const char*>(a->name), reinterpret_cast<const char*>(value));
                xmlFree(value);
            }
            walk(node->children, d);
            d.add('/', {});
        } else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            d.text(reinterpret_cast<const char*>(node->content));
        }
    }
}

void walk(const pugi::xml_node& node, digest& d) {
    for (const pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element) {
            ++d.elements;
            d.add('E', child.name());
            for (const pugi::xml_attribute a : child.attributes()) {
                ++d.attributes;
                d.add('A', a.name(), a.value());
            }
            walk(child, d);
            d.add('/', {});
        } else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            d.text(child.value());
        }
    }
}

void require_same(const digest& ours, const digest& peer, const char* what) {
    if (ours == peer)
        return;
    std::fprintf(stderr, "%s: trees differ (elements %zu / %zu, attributes %zu / %zu, texts %zu / %zu)\n", what,
                 ours.elements, peer.elements, ours.attributes, peer.attributes, ours.texts, peer.texts);
    std::exit(1);
}

digest our_digest() {
    kq::TXmlDocument doc;
    doc.ReadFromString(sample());
    return digest_of(doc);
}

// A load with its tree freed, each side; the rate is per byte of the text.
void BM_LoadRatio_libxml2(benchmark::State& state) {
    const std::string& text = sample();
    {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "bench.xml", nullptr, 0);
        digest d;
        walk(xmlDocGetRootElement(doc), d);
        xmlFreeDoc(doc);
        require_same(our_digest(), d, "libxml2");
    }
    kq::bench::paired(
        state, [] {},
        [&] {
            kq::TXmlDocument doc;
            doc.ReadFromString(text);
            benchmark::DoNotOptimize(doc.Root());
        },
        [&] {
            xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "bench.xml", nullptr, 0);
            benchmark::DoNotOptimize(doc);
            xmlFreeDoc(doc);
        });
    state.counters["ours_MB_s"] = static_cast<double>(text.size()) / state.counters["ours_us"] / 1.048576;
    state.counters["peer_MB_s"] = static_cast<double>(text.size()) / state.counters["peer_us"] / 1.048576;
}

void BM_LoadRatio_pugixml(benchmark::State& state) {
    const std::string& text = sample();
    {
        pugi::xml_document doc;
        doc.load_buffer(text.data(), text.size());
        digest d;
        walk(doc, d);
        require_same(our_digest(), d, "pugixml");
    }
    kq::bench::paired(
        state, [] {},
        [&] {
            kq::TXmlDocument doc;
            doc.ReadFromString(text);
            benchmark::DoNotOptimize(doc.Root());
        },
        [&] {
            pugi::xml_document doc;
            doc.load_buffer(text.data(), text.size());
            benchmark::DoNotOptimize(doc.first_child());
        });
    state.counters["ours_MB_s"] = static_cast<double>(text.size()) / state.counters["ours_us"] / 1.048576;
    state.counters["peer_MB_s"] = static_cast<double>(text.size()) / state.counters["peer_us"] / 1.048576;
}

// The binary form against the text, each loaded and freed, alternating in one loop; the building and
// the freeing are timed apart as well, since freeing a tree costs both forms alike and bounds the ratio.
void BM_BinaryTextRatio(benchmark::State& state) {
    kq::TXmlFastMemStream& binary = binary_sample();
    {
        kq::TXmlDocument text_doc, binary_doc;
        text_doc.ReadFromString(sample());
        binary.SetPosition(0);
        binary_doc.LoadFromBinaryStream(binary);
        require_same(digest_of(binary_doc), digest_of(text_doc), "binary against text");
    }
    using clock_type = kq::bench::clock_type;
    clock_type::duration build[2]{}, free[2]{}; // 0: binary, 1: text
    const auto run = [&](int side) {
        const auto start = clock_type::now();
        auto doc = std::make_unique<kq::TXmlDocument>();
        if (side == 0) {
            binary.SetPosition(0);
            doc->LoadFromBinaryStream(binary);
        } else {
            doc->ReadFromString(sample());
        }
        benchmark::DoNotOptimize(doc->Root());
        const auto built = clock_type::now();
        doc.reset();
        benchmark::ClobberMemory();
        const auto end = clock_type::now();
        build[side] += built - start;
        free[side] += end - built;
    };
    bool binary_first = true;
    for (auto _ : state) {
        run(binary_first ? 0 : 1);
        run(binary_first ? 1 : 0);
        binary_first = !binary_first;
    }
    const auto ms = [&](clock_type::duration d) {
        return std::chrono::duration<double, std::milli>(d).count() / static_cast<double>(state.iterations());
    };
    state.counters["ratio"] = (ms(build[0]) + ms(free[0])) / (ms(build[1]) + ms(free[1]));
    state.counters["build_ratio"] = ms(build[0]) / ms(build[1]);
    state.counters["binary_build_ms"] = ms(build[0]);
    state.counters["binary_free_ms"] = ms(free[0]);
    state.counters["text_build_ms"] = ms(build[1]);
    state.counters["text_free_ms"] = ms(free[1]);
}

// --- A 50 MB settings file, loaded from disk and held, side by side with libxml2's tree parser

// The skin settings' layout, written readable (tabs and CR LF): Form blocks of integer fields and a
// picture name, each value its own text.
const std::string& settings_file() {
    static const std::string name = [] {
        static constexpr const char* fields[] = {"Style",       "DefaultSkinOrder", "GradientHeight", "HitTestWidth",
                                                 "TitleHeight", "TitlerColor",      "Color",          "FramWidth",
                                                 "Hue",         "Saturation",       "Brightness"};
        std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SkinRes>\r\n\t<Config>\r\n\t\t<Custom>\r\n";
        for (int i = 0; s.size() < 50 * 1024 * 1024; ++i) {
            s += "\t\t\t<Form>\r\n\t\t\t\t<FormBg>skin\\bg" + std::to_string(i) + ".png</FormBg>\r\n";
            int k = 0;
            for (const char* f : fields)
                s += std::string("\t\t\t\t<") + f + ">" + std::to_string((i * 7 + k++ * 131) % 100000) + "</" + f + ">\r\n";
            s += "\t\t\t</Form>\r\n";
        }
        s += "\t\t</Custom>\r\n\t</Config>\r\n</SkinRes>\r\n";
        const std::string path = "/tmp/kq_xml_bench_settings.xml";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(s.data(), 1, s.size(), f) != s.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        return path;
    }();
    return name;
}

// Peak heap bytes while loading the file and holding its tree, and the load time, for each library.
void BM_SettingsLoadMemory(benchmark::State& state) {
    if (!counting_allowed) {
        state.SkipWithError("needs allocation counting (run without KQ_BENCH_NO_COUNT)");
        return;
    }
    const kq::String name = kq::utf8_to_string(settings_file());
    double ours_peak = 0, peer_peak = 0;
    kq::bench::clock_type::duration ours_time{}, peer_time{};
    bool ours_first = true;
    const auto ours = [&] {
        const auto start = kq::bench::clock_type::now();
        peak_scope peak;
        {
            kq::TXmlDocument doc;
            doc.LoadFromFile(name);
            benchmark::DoNotOptimize(doc.Root()->FindNode("Config"));
            ours_peak = std::max(ours_peak, peak.bytes());
        }
        ours_time += kq::bench::clock_type::now() - start;
    };
    const auto peer = [&] {
        const auto start = kq::bench::clock_type::now();
        peak_scope peak;
        {
            xmlDocPtr doc = xmlReadFile(settings_file().c_str(), nullptr, 0);
            benchmark::DoNotOptimize(xmlDocGetRootElement(doc));
            peer_peak = std::max(peer_peak, peak.bytes());
            xmlFreeDoc(doc);
        }
        peer_time += kq::bench::clock_type::now() - start;
    };
    for (auto _ : state) {
        if (ours_first) {
            ours();
            peer();
        } else {
            peer();
            ours();
        }
        ours_first = !ours_first;
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(settings_file())) / (1024.0 * 1024.0);
    state.counters["ours_peak_MB"] = ours_peak / (1024.0 * 1024.0);
    state.counters["peer_peak_MB"] = peer_peak / (1024.0 * 1024.0);
    state.counters["peak_ratio"] = ours_peak / peer_peak;
    state.counters["ours_ms"] = std::chrono::duration<double, std::milli>(ours_time).count() / passes;
    state.counters["peer_ms"] = std::chrono::duration<double, std::milli>(peer_time).count() / passes;
}

} // namespace

// Our own allocations are counted here; the other two libraries count through their hooks.
// The C library's own entry points, under the names it exports for wrappers like these.
extern "C" {
void* __libc_malloc(std::size_t n);
void __libc_free(void* p);
void* __libc_calloc(std::size_t count, std::size_t n);
void* __libc_realloc(void* p, std::size_t n);
void* __libc_memalign(std::size_t alignment, std::size_t n);

void* malloc(std::size_t n) noexcept {
    void* p = __libc_malloc(n);
    note_alloc(p);
    return p;
}
void free(void* p) noexcept {
    note_free(p);
    __libc_free(p);
}
void* calloc(std::size_t count, std::size_t n) noexcept {
    void* p = __libc_calloc(count, n);
    note_alloc(p);
    return p;
}
void* realloc(void* p, std::size_t n) noexcept {
    note_free(p);
    void* q = __libc_realloc(p, n);
    note_alloc(q || n == 0 ? q : p); // a failed realloc keeps the old block
    return q;
}
void* memalign(std::size_t alignment, std::size_t n) noexcept {
    void* p = __libc_memalign(alignment, n);
    note_alloc(p);
    return p;
}
void* aligned_alloc(std::size_t alignment, std::size_t n) noexcept { return memalign(alignment, n); }
int posix_memalign(void** out, std::size_t alignment, std::size_t n) noexcept {
    void* p = memalign(alignment, n);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

BENCHMARK(BM_LoadRatio_libxml2)->Unit(benchmark::kMillisecond)->KQ_SPREAD;
BENCHMARK(BM_LoadRatio_pugixml)->Unit(benchmark::kMillisecond)->KQ_SPREAD;
BENCHMARK(BM_BinaryTextRatio)->Unit(benchmark::kMillisecond)->KQ_SPREAD;
BENCHMARK(BM_SettingsLoadMemory)->Unit(benchmark::kMillisecond)->Iterations(2)->KQ_SPREAD;
BENCHMARK(BM_KqLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugiLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqBinaryLoad<freeing::timed>)->Name("BM_KqBinaryLoad")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqTextLoad<freeing::untimed>)->Name("BM_KqLoadBuild")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqBinaryLoad<freeing::untimed>)->Name("BM_KqBinaryLoadBuild")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqBinarySave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KqLoadSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2LoadSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugiLoadSave)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
