#pragma once
// Micro tiles and their repaint optimiser.
#include "graphics/Raster.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_RepaintOpt.h"
#include "graphics/Raster_System.h"

#include <cstdint>
#include <vector>

namespace kq {

// --- Micro tiles: the changed box inside each 32 x 32 tile of an area

// Left in bits 24-31, Top 16-23, Right 8-15, Bottom 0-7, relative to the tile; Right and Bottom exclusive.
using TMicroTile = std::uint32_t;
using PMicroTile = TMicroTile*;

constexpr std::int32_t microtile_shift = 5;
constexpr std::int32_t microtile_size = 1 << microtile_shift;
constexpr TMicroTile microtile_empty = 0;
constexpr TMicroTile microtile_full = 0x2020;

constexpr TMicroTile TilePack(std::uint32_t left, std::uint32_t top, std::uint32_t right, std::uint32_t bottom) {
    return left << 24 | top << 16 | right << 8 | bottom;
}
constexpr std::int32_t tile_left(TMicroTile t) { return static_cast<std::int32_t>(t >> 24); }
constexpr std::int32_t tile_top(TMicroTile t) { return static_cast<std::int32_t>((t >> 16) & 0xFF); }
constexpr std::int32_t tile_right(TMicroTile t) { return static_cast<std::int32_t>((t >> 8) & 0xFF); }
constexpr std::int32_t tile_bottom(TMicroTile t) { return static_cast<std::int32_t>(t & 0xFF); }

// A grid of (BoundsRect width div 32 + 1) x (height div 32 + 1) tiles, row-major with row stride Columns.
// Tiles holds (Columns + 1) x (Rows + 1) entries, so clamped rectangles may reach column Columns and row
// Rows. Tiles outside BoundsUsedTiles are empty; a set with none touched has the box (Columns, Rows, 0, 0).
struct TMicroTiles {
    TRect BoundsRect;
    std::int32_t Columns = 0;
    std::int32_t Rows = 0;
    TRect BoundsUsedTiles;
    std::int32_t Count = 0;
    std::vector<TMicroTile> Tiles;
};
using PMicroTiles = TMicroTiles*;
using PPMicroTiles = PMicroTiles*;

void TilesInit(TMicroTiles& Tiles);
// Frees the array; the set then counts no tiles.
void TilesFree(TMicroTiles& Tiles);
void TilesResize(TMicroTiles& Tiles, const TRect& DstRect);
void TilesFill(TMicroTiles& Tiles, TMicroTile Value);
void TilesFillUsed(TMicroTiles& Tiles, TMicroTile Value);
void TilesAssign(TMicroTiles& Dst, const TMicroTiles& Src);
void TilesMerge(TMicroTiles& Dst, const TMicroTiles& Src, bool RoundToWholeTiles);
void TilesAddRect(TMicroTiles& Tiles, TRect Rect, bool RoundToWholeTiles = false);
// A line of LineWidth from (X1, Y1) to (X2, Y2), as a run of tile-sized steps along it. Only the part
// near the set is walked, so any coordinates are safe.
void TilesAddLine(TMicroTiles& Tiles, std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                  std::int32_t LineWidth, bool RoundToWholeTiles = false);
// Appends the rectangles (clipped to Clip) unless CountOnly; returns their number.
std::int32_t TilesToRects(const TMicroTiles& Tiles, TRectList& DstRects, const TRect& Clip, bool CountOnly = false,
                          bool RoundToWholeTiles = false);
std::int32_t TilesToRects(const TMicroTiles& Tiles, TRectList& DstRects, bool CountOnly = false,
                          bool RoundToWholeTiles = false);

// --- Bound routines (registry "Raster_MicroTiles bindings")

using tile_merge_proc = void (*)(TMicroTile& dst, TMicroTile src);
// Merges Count tiles of Src into Dst, position by position.
using tiles_merge_row_proc = void (*)(TMicroTile* dst, const TMicroTile* src, std::int32_t count);

extern tile_merge_proc TileMerge;
extern tiles_merge_row_proc TilesMergeRow;
constexpr std::int32_t FID_TILEMERGE = 0;
constexpr std::int32_t FID_TILESMERGE = 1;

void tile_merge_portable(TMicroTile& dst, TMicroTile src);
void tile_merge_emmx(TMicroTile& dst, TMicroTile src);
void tiles_merge_row_portable(TMicroTile* dst, const TMicroTile* src, std::int32_t count);
void tiles_merge_row_emmx(TMicroTile* dst, const TMicroTile* src, std::int32_t count);

void Raster_MicroTiles_startup();

// --- Per-layer tile sets

// From a layer to the tile set it covered when last measured; the map owns the sets.
class TMicroTilesMap : public TPointerMap {
public:
    ~TMicroTilesMap() override;
    // The layer's slot; a new layer gets a fresh, empty set.
    PPMicroTiles Add(TCustomLayer* Item);
    // Raises "Item not found ($0%x)" for a layer without a set.
    PMicroTiles GetData(TCustomLayer* Item) const;
    // The layer's set, or nil.
    PMicroTiles Find(TCustomLayer* Item) const;

protected:
    void* Delete(std::int32_t bucket_index, std::int32_t item_index) override;
};

// --- The optimiser the paint box makes

class TMicroTilesRepaintOptimizer : public TCustomRepaintOptimizer {
public:
    TMicroTilesRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects);
    ~TMicroTilesRepaintOptimizer() override;

    void SetEnabled(bool Value) override;
    void RegisterLayerCollection(TLayerCollection* Layers) override;
    void UnregisterLayerCollection(TLayerCollection* Layers) override;
    void BeginPaintBuffer() override;
    void EndPaintBuffer() override;

    void Reset() override;
    bool UpdatesAvailable() override;
    void PerformOptimization() override;
    void AreaUpdateHandler(TObject* Sender, const TRect& Area, std::uint32_t Info) override;
    void LayerUpdateHandler(TObject* Sender, TCustomLayer* Layer) override;
    void BufferResizedHandler(std::int32_t NewWidth, std::int32_t NewHeight) override;

    bool AdaptiveMode() const { return FAdaptiveMode; }
    void SetAdaptiveMode(bool Value);
    std::int32_t PerformanceLevel() const { return FPerformanceLevel; }

protected:
    void LayerListNotifyHandler(TObject* Sender, TLayerListNotification Action, TCustomLayer* Layer,
                                std::int32_t Index) override;

private:
    void PrepareWorkingTiles();
    void RebuildOldTiles();
    void MeasureLayer(TMicroTiles& Tiles, TCustomLayer* Layer);
    void MeasuringHandler(TObject* Sender, const TRect& Area, std::uint32_t Info);
    void AddAreaToTiles(TMicroTiles& Tiles, const TRect& Area, std::uint32_t Info);
    void RestartAdaption();
    void CheckPerformanceLevel();
    void AdaptPerformanceLevel();
    void free_working_tiles();

    TRect FBufferBounds;
    PMicroTiles FWorkMicroTiles = nullptr;
    TMicroTiles FTempTiles;
    TMicroTiles FInvalidTiles;
    TMicroTiles FForcedInvalidTiles;
    std::vector<TCustomLayer*> FInvalidLayers;
    TMicroTilesMap FOldInvalidTilesMap;
    bool FWorkingTilesValid = false;
    bool FOldInvalidTilesValid = false;
    bool FUseInvalidTiles = false;
    bool FAdaptiveMode = true;
    TPerfTimer FPerfTimer;
    std::int32_t FPerformanceLevel = 0;
    std::int64_t FElapsedTimeForLastRepaint = 0;
    std::int64_t FElapsedTimeForFullSceneRepaint = 0;
    bool FAdaptionFailed = false;
    bool FTimedCheck = false;
    std::int32_t FTimeDelta = 0;
    std::int32_t FNextCheck = 0;
    std::int64_t FElapsedTimeOnLastPenalty = 0;
    std::int32_t FOldInvalidRectsCount = 0;
};

extern const repaint_optimizer_class micro_tiles_repaint_optimizer_class;

} // namespace kq
