#include "graphics/Raster_Backends.h"

#include "graphics/Raster_LowLevel.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace kq {

const backend_class memory_backend_class{{u"TMemoryBackend"}, &create_backend<TMemoryBackend>};

std::size_t pixel_bytes(std::int32_t Width, std::int32_t Height) {
    if (Width <= 0 || Height <= 0)
        return 0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height) * 4;
    // Rows are addressed with 32-bit products (X + Y x Width), so a bitmap stays below 2^31 pixels.
    if (bytes / 4 > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) ||
        bytes > std::numeric_limits<std::size_t>::max())
        throw EBitmapException(u"Bitmap too large");
    return static_cast<std::size_t>(bytes);
}

bool Supports(IInterface* object, const TGUID& iid) {
    return query_interface(object, iid) != nullptr;
}

// --- TCustomBackend

TCustomBackend::TCustomBackend() {
    SetRefCounted();
    AddRef(); // the reference of the bitmap it will serve
}

TCustomBackend::~TCustomBackend() {
    // A subclass releases its own storage in its destructor; this only forgets the size.
    FOwner = nullptr;
}

void TCustomBackend::ChangeSize(std::int32_t& Width, std::int32_t& Height, std::int32_t NewWidth,
                                std::int32_t NewHeight, bool ClearBuffer) {
    // Not a scope_exit: Changed raises OnChange, which may throw, and a destructor must not.
    try {
        DoChanging();
        ReleaseSurface();
        Width = 0;
        Height = 0;
        if (NewWidth > 0 && NewHeight > 0)
            AllocateSurface(NewWidth, NewHeight, ClearBuffer);
        Width = NewWidth;
        Height = NewHeight;
    } catch (...) {
        Changed();
        throw;
    }
    Changed();
}

void TCustomBackend::Clear() {
    std::int32_t width = 0, height = 0;
    if (FOwner)
        ChangeSize(FOwner->FWidth, FOwner->FHeight, 0, 0, false);
    else
        ChangeSize(width, height, 0, 0, false);
}

bool TCustomBackend::Empty() const {
    return false;
}

void TCustomBackend::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TCustomBackend*>(Source);
    if (!source) {
        TThreadPersistent::Assign(Source);
        return;
    }
    if (!FOwner)
        return;
    const std::int32_t width = source->FOwner ? source->FOwner->Width() : 0;
    const std::int32_t height = source->FOwner ? source->FOwner->Height() : 0;
    ChangeSize(FOwner->FWidth, FOwner->FHeight, width, height, false);
    if (!source->Empty() && source->FBits && FBits)
        std::memcpy(FBits, source->FBits, pixel_bytes(width, height));
}

void TCustomBackend::DoChanging() {
    if (OnChanging)
        OnChanging(this);
}

void TCustomBackend::AllocateSurface(std::int32_t, std::int32_t, bool) {}

void TCustomBackend::ReleaseSurface() {}

// --- TMemoryBackend

TMemoryBackend::~TMemoryBackend() {
    ReleaseSurface();
}

void TMemoryBackend::AllocateSurface(std::int32_t NewWidth, std::int32_t NewHeight, bool ClearBuffer) {
    const std::size_t bytes = pixel_bytes(NewWidth, NewHeight);
    FBits = static_cast<PColor32Array>(std::malloc(bytes));
    if (!FBits)
        throw EBitmapException(u"Bitmap too large");
    if (ClearBuffer)
        for (std::size_t done = 0, count = bytes / 4; done < count;) {
            const auto n = static_cast<std::int32_t>(std::min<std::size_t>(count - done, 1u << 30));
            FillDwords(FBits + done, n, clBlack32);
            done += static_cast<std::size_t>(n);
        }
}

void TMemoryBackend::ReleaseSurface() {
    std::free(FBits);
    FBits = nullptr;
}

// --- Capability switching

TCustomBackend* RequireBackendSupport(TCustomBitmap32* TargetBitmap, std::initializer_list<TGUID> RequiredInterfaces,
                                      backend_support_mode Mode, bool Flush) {
    bool satisfied = false;
    if (RequiredInterfaces.size() != 0) {
        TCustomBackend* backend = TargetBitmap->Backend();
        if (Mode == backend_support_mode::all) {
            satisfied = true;
            for (const TGUID& iid : RequiredInterfaces)
                if (!Supports(backend, iid)) {
                    satisfied = false;
                    break;
                }
        } else {
            for (const TGUID& iid : RequiredInterfaces)
                if (Supports(backend, iid)) {
                    satisfied = true;
                    break;
                }
        }
    }
    if (satisfied)
        return nullptr;
    if (Flush)
        TargetBitmap->SetSize(0, 0);
    counted_ref<TCustomBackend> released(TargetBitmap->ReleaseBackend());
    TargetBitmap->GetPlatformBackendClass()->Create(TargetBitmap);
    return released.release();
}

void RestoreBackend(TCustomBitmap32* TargetBitmap, TCustomBackend* ReleasedBackend) {
    if (ReleasedBackend)
        TargetBitmap->SetBackend(ReleasedBackend);
}

} // namespace kq
