#pragma once
// TSkLocateObj, where an item sits inside an edit's frame, and TSkSpaceSize, an edit's inner spacing.

#include "framework/Graphics.h"

#include <cstdint>

namespace kq {

enum TSkAlign : std::uint8_t { agLeft, agRight };

// With agLeft, X is the distance of the item's left edge from the edit's left edge; with agRight the
// item's left edge lies at (edit width - X).
class TSkLocateObj : public TPersistent {
public:
    std::int32_t X() const noexcept { return FX; }
    void SetX(std::int32_t Value);
    std::int32_t Y() const noexcept { return FY; }
    void SetY(std::int32_t Value);
    TSkAlign Align() const noexcept { return FAlign; }
    void SetAlign(TSkAlign Value);

    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnChange;

private:
    void changed();

    TSkAlign FAlign = agLeft;
    std::int32_t FX = 0;
    std::int32_t FY = 0;
};

// Inactive, the edit uses its built-in spacing instead.
class TSkSpaceSize : public TPersistent {
public:
    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    std::int32_t Left() const noexcept { return FLeft; }
    void SetLeft(std::int32_t Value);
    std::int32_t Top() const noexcept { return FTop; }
    void SetTop(std::int32_t Value);
    std::int32_t Right() const noexcept { return FRight; }
    void SetRight(std::int32_t Value);
    std::int32_t Bottom() const noexcept { return FBottom; }
    void SetBottom(std::int32_t Value);

    // Copies the switch and the four distances (one OnChange for each value that differs).
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnChange;

private:
    template <class T>
    void change(T& field, T value) {
        if (field == value) return;
        field = value;
        if (OnChange) OnChange(this);
    }

    std::int32_t FRight = 0;
    std::int32_t FBottom = 0;
    std::int32_t FTop = 0;
    std::int32_t FLeft = 0;
    bool FActive = true;
};

} // namespace kq
