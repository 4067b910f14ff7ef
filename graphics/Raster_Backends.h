#pragma once
// Backends and their capability interfaces, the memory backend.
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <initializer_list>

namespace kq {

// --- Capability interfaces a backend may offer

constexpr TGUID IID_ITextSupport{0x225997CC, 0x958A, 0x423E, {0x8B, 0x60, 0x9E, 0xDE, 0x0D, 0x3B, 0x53, 0xB5}};
constexpr TGUID IID_IFontSupport{0x67C73044, 0x1EFF, 0x4FDE, {0xA2, 0x56, 0xBF, 0xAD, 0xA5, 0x0A, 0x48}};
constexpr TGUID IID_ITextToPathSupport{0x6C4037E4, 0xFF4D, 0x4EE2, {0x9C, 0x20, 0xB9, 0xDB, 0x9C, 0x64, 0xB4, 0x2D}};
constexpr TGUID IID_ICanvasSupport{0x5ACFEEC7, 0x0123, 0x4AD8, {0x8A, 0xE6, 0x14, 0x57, 0x18, 0x43, 0x8E, 0x01}};
constexpr TGUID IID_IDeviceContextSupport{0xDD1109DA, 0x4019, 0x4A5C, {0xA4, 0x50, 0x36, 0x31, 0xA7, 0x3C, 0xF2, 0x88}};
constexpr TGUID IID_IBitmapContextSupport{0xDF0F9475, 0xBA13, 0x4C6B, {0x81, 0xC3, 0xD1, 0x38, 0x62, 0x4C, 0x4D, 0x08}};
constexpr TGUID IID_IPaintSupport{0xCE64DBEE, 0xC4A9, 0x4E8E, {0xAB, 0xCA, 0x1B, 0x1F, 0xD6, 0xF4, 0x59, 0x24}};

// --- Backends

// Owns a bitmap's pixel memory. Reference-counted: made with new_object (or a backend class's Create),
// holding the one reference its bitmap later drops.
class TCustomBackend : public TThreadPersistent {
public:
    TCustomBackend();
    ~TCustomBackend() override;

    PColor32Array Bits() const { return FBits; }
    TCustomBitmap32* Owner() const { return FOwner; }

    // Releases the storage and, for a positive size, allocates new storage; the sizes are written into
    // Width and Height (the owner's fields). OnChanging comes before and OnChange after, also on failure.
    virtual void ChangeSize(std::int32_t& Width, std::int32_t& Height, std::int32_t NewWidth, std::int32_t NewHeight,
                            bool ClearBuffer);
    virtual void Clear();
    virtual bool Empty() const;
    // From another backend: this backend's owner takes the source owner's size and pixels.
    void Assign(const TPersistent* Source) override;

    TNotifyEvent OnChanging;

protected:
    friend class TCustomBitmap32;

    virtual void DoChanging();
    virtual void AllocateSurface(std::int32_t NewWidth, std::int32_t NewHeight, bool ClearBuffer);
    virtual void ReleaseSurface();

    PColor32Array FBits = nullptr;
    TCustomBitmap32* FOwner = nullptr;
};

// Heap storage; new pixels are opaque black when cleared.
class TMemoryBackend : public TCustomBackend {
public:
    ~TMemoryBackend() override;

protected:
    void AllocateSurface(std::int32_t NewWidth, std::int32_t NewHeight, bool ClearBuffer) override;
    void ReleaseSurface() override;
};

// Makes a backend of class T for Owner (nil: a free one) and installs it there.
template <class T>
TCustomBackend* create_backend(TCustomBitmap32* Owner) {
    counted_ref<T> held(new_object<T>());
    T* const backend = held.get();
    if (Owner) {
        // Once installed the bitmap holds the reference, also when a change event of the installation throws.
        const scope_exit handed_over([&] {
            if (Owner->Backend() == backend)
                held.release();
        });
        Owner->SetBackend(backend);
    }
    held.release();
    return backend;
}

// Bytes of Width x Height pixels (0 for an empty size); EBitmapException "Bitmap too large" beyond 2^31 - 1
// pixels.
std::size_t pixel_bytes(std::int32_t Width, std::int32_t Height);

// --- Capability switching

enum class backend_support_mode : std::uint8_t { all, any };

// When the bitmap's backend lacks the interfaces (all of them, or any one), swaps in the class's platform
// backend carrying the pixels (after emptying the bitmap when Flush) and returns the old backend, kept
// alive for RestoreBackend; otherwise nil. An empty list is never satisfied.
TCustomBackend* RequireBackendSupport(TCustomBitmap32* TargetBitmap, std::initializer_list<TGUID> RequiredInterfaces,
                                      backend_support_mode Mode, bool Flush);
// Puts ReleasedBackend (when not nil) back with the current pixels; the temporary backend is released.
void RestoreBackend(TCustomBitmap32* TargetBitmap, TCustomBackend* ReleasedBackend);

// Whether the object answers the interface.
bool Supports(IInterface* object, const TGUID& iid);

} // namespace kq
