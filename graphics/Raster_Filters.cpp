#include "graphics/Raster_Filters.h"

#include "graphics/Raster_Bindings.h"

#include <mmintrin.h>
#include <xmmintrin.h>

#include <cstring>

namespace kq {

namespace {

struct op_and {
    static TColor32 apply(TColor32 a, TColor32 m) { return a & m; }
    static __m64 apply(__m64 a, __m64 m) { return _mm_and_si64(a, m); }
};
struct op_or {
    static TColor32 apply(TColor32 a, TColor32 m) { return a | m; }
    static __m64 apply(__m64 a, __m64 m) { return _mm_or_si64(a, m); }
};
struct op_xor {
    static TColor32 apply(TColor32 a, TColor32 m) { return a ^ m; }
    static __m64 apply(__m64 a, __m64 m) { return _mm_xor_si64(a, m); }
};

// --- Portable forms: the reference.

template <class Op>
void line_portable(PColor32 dst, TColor32 mask, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = Op::apply(dst[i], mask);
}

template <class Op>
void copy_portable(const TColor32* src, PColor32 dst, std::int32_t count, TColor32 mask) {
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = Op::apply(src[i], mask);
}

// --- x86 forms: 16 pixels per step for the in-place masks, then one by one; the copies step one pixel at a
// time, as the portable forms do, and are registered as those.

template <class Op>
void line_unrolled(PColor32 dst, TColor32 mask, std::int32_t count) {
    for (; count >= 16; count -= 16, dst += 16)
        for (int i = 0; i < 16; ++i)
            dst[i] = Op::apply(dst[i], mask);
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = Op::apply(dst[i], mask);
}

// --- MMX forms: 16 pixels per step as eight 64-bit operations; EMMX stores bypass the cache.

template <class Op, bool Streaming>
void copy_mmx(const TColor32* src, PColor32 dst, std::int32_t count, TColor32 mask) {
    if (count >= 16) {
        const __m64 m = _mm_set1_pi32(static_cast<int>(mask));
        for (; count >= 16; count -= 16, src += 16, dst += 16)
            for (int i = 0; i < 16; i += 2) {
                __m64 v;
                std::memcpy(&v, src + i, sizeof v);
                v = Op::apply(v, m);
                if constexpr (Streaming)
                    _mm_stream_pi(reinterpret_cast<__m64*>(dst + i), v);
                else
                    std::memcpy(dst + i, &v, sizeof v);
            }
        if constexpr (Streaming)
            _mm_sfence();
        _mm_empty();
    }
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = Op::apply(src[i], mask);
}

} // namespace

mask_line_proc MaskLineAnd = line_portable<op_and>;
mask_line_proc MaskLineOr = line_portable<op_or>;
mask_line_proc MaskLineXor = line_portable<op_xor>;
mask_copy_proc MaskCopyAnd = copy_portable<op_and>;
mask_copy_proc MaskCopyOr = copy_portable<op_or>;
mask_copy_proc MaskCopyXor = copy_portable<op_xor>;

void Raster_Filters_startup() {
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_Filters bindings");
    r.RegisterBinding(FID_MASKLINEAND, &MaskLineAnd);
    r.RegisterBinding(FID_MASKLINEOR, &MaskLineOr);
    r.RegisterBinding(FID_MASKLINEXOR, &MaskLineXor);
    r.RegisterBinding(FID_MASKCOPYAND, &MaskCopyAnd);
    r.RegisterBinding(FID_MASKCOPYOR, &MaskCopyOr);
    r.RegisterBinding(FID_MASKCOPYXOR, &MaskCopyXor);

    r.Add(FID_MASKLINEAND, line_portable<op_and>);
    r.Add(FID_MASKLINEOR, line_portable<op_or>);
    r.Add(FID_MASKLINEXOR, line_portable<op_xor>);
    r.Add(FID_MASKCOPYAND, copy_portable<op_and>);
    r.Add(FID_MASKCOPYOR, copy_portable<op_or>);
    r.Add(FID_MASKCOPYXOR, copy_portable<op_xor>);

    r.Add(FID_MASKLINEAND, line_unrolled<op_and>);
    r.Add(FID_MASKLINEOR, line_unrolled<op_or>);
    r.Add(FID_MASKLINEXOR, line_unrolled<op_xor>);
    r.Add(FID_MASKCOPYAND, copy_portable<op_and>);
    r.Add(FID_MASKCOPYOR, copy_portable<op_or>);
    r.Add(FID_MASKCOPYXOR, copy_portable<op_xor>);

    r.Add(FID_MASKCOPYAND, copy_mmx<op_and, false>, {ciMMX});
    r.Add(FID_MASKCOPYOR, copy_mmx<op_or, false>, {ciMMX});
    r.Add(FID_MASKCOPYXOR, copy_mmx<op_xor, false>, {ciMMX});

    r.Add(FID_MASKCOPYAND, copy_mmx<op_and, true>, {ciEMMX});
    r.Add(FID_MASKCOPYOR, copy_mmx<op_or, true>, {ciEMMX});
    r.Add(FID_MASKCOPYXOR, copy_mmx<op_xor, true>, {ciEMMX});
    r.RebindAll();
}

} // namespace kq
