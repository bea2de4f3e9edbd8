#pragma once
#include <cstdint>
#include <vector>

#include "engine/canvas.hpp"
#include "engine/light/source.hpp"
#include "engine/light/staircase_reach.hpp"

namespace pyrelle {

struct LightRgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
};

// One neighbour of the rock glow: offset in light cells and how much of its light it lends.
struct SpreadEntry {
    std::int32_t dx;
    std::int32_t dy;
    float weight;
};

// Per-frame light over the view plus a margin of 4 cells before and 5 after, in square
// cells of `cell` screen pixels. Light from each source is blocked by rock, rock faces
// next to lit space glow, and `apply` multiplies a drawn picture by the posterised light.
struct LightMap {
    std::vector<LightRgb> light;      // index k + j × gw
    std::vector<std::uint8_t> rock;   // 1 where the cell's centre lies in rock or outside
    std::vector<SpreadEntry> spread;  // the rock glow's neighbours, in scan order
    std::uint32_t gw = 0;
    std::uint32_t gh = 0;
    std::uint32_t cell = 0;
    LightRgb ambient;

    // A map for a view of that size. A cell of 0 is a programming error and stops the program.
    static LightMap create(std::uint32_t view_width, std::uint32_t view_height, std::uint32_t cell);

    // Rebuilds the light for a camera at (camera_x, camera_y) world pixels (the caller
    // floors it). Allocates nothing once the scratch buffers have grown to the scene.
    void compute(const std::vector<LightSource>& lights, LightRgb ambient_light, CaveTiles cave,
                 float camera_x, float camera_y, float cave_cell);

    // Bilinear light at a screen pixel.
    LightRgb sample(float px, float py) const;

    // Multiplies every pixel by its dithered, posterised light plus the ambient light, as
    // many pixels at a time as the processor allows. Four is what every build can do; the
    // picture is the same either way.
    enum class PixelLanes { Widest, Four };
    void apply(Canvas& canvas, PixelLanes lanes = PixelLanes::Widest);

  private:
    // What a source's shortcuts found for a run of light columns on the current row.
    enum class Sight : std::uint8_t { Unknown, Open, Blocked, Walk };
    // A source's light columns that lie over one cave column, with one direction sign and one
    // overshoot: on a row, the shortcuts answer for all of them at once.
    struct ColumnRun {
        std::int32_t target_x;  // cave column
        float dx;               // a direction towards it (its sign counts)
        std::int32_t over_x;    // where the walk's last step may overshoot
        std::int32_t k_begin;   // its light columns, both included
        std::int32_t k_end;
        bool walk_ready;  // SourceRows::col_walk is set up for its columns
    };
    // What the walks from one still source found, per world pixel around it. Light cell
    // centres lie on whole pixels (even cells, floored camera), and a walk depends only on
    // its two points and the cave, so the answers hold while the source stays put and the
    // cave stays the same, whatever the camera does.
    enum Seen : std::uint8_t { kNotYet, kReached, kHidden };
    struct SightMemo {
        float x = 0.0f, y = 0.0f;     // the source's point
        std::int32_t x0 = 0, y0 = 0;  // the square's first world pixel
        std::int32_t side = 0;        // its side in pixels
        std::int32_t columns = 0;     // bytes per row of one phase (below)
        bool used = false;            // by a source of this frame
        // One byte per pixel, by column phase (x mod cell): the centres of light cells side
        // by side on a row are `cell` pixels apart, and so bytes side by side here.
        std::vector<std::uint8_t> seen;
        // Laid out the same, for one radius: the falloff where the light reaches an open
        // cell, 0 where it does not, -1 where that is not known yet.
        float share_radius = 0.0f;
        bool shares_usable = false;  // by the source asking now: it has that radius
        std::vector<float> share;
        // The stamp each row (phase and pixel row) was cleared with; rows with an older
        // one hold what an earlier square or radius found, and are cleared when first read.
        std::vector<std::uint32_t> seen_rows, share_rows;
        std::uint32_t seen_stamp = 0, share_stamp = 0;
    };

    // One source's box of light cells, clipped to the grid, and what its shortcuts use.
    struct SourceWalk {
        std::int32_t k0, k1, j0, j1;      // its light columns and rows, both ends included
        std::int32_t source_x, source_y;  // its cave cell
        std::int32_t reach;               // of its staircase test; -1 beyond kMaxReach
        std::int64_t wx, wy;              // its cave cell in the window
        bool fast;                        // the shortcuts hold for it
        bool hull_fits;                   // Hull::sight has room for its box's cave cells
        bool reach_ready;                 // the staircase test is built
        std::size_t runs;                 // its column runs in SourceRows::runs
    };
    // One light row of a source's box.
    struct SourceRow {
        float cy;                // world centre of its cells
        float ddy;               // and the direction from the source along y
        std::int32_t target_y;   // its cave row
        std::int64_t ty;         // and that row in the window
        std::int32_t overshoot;  // where a walk's last step may overshoot along y
        std::size_t first;       // the index of its first light cell
        std::uint8_t* seen;      // its memo bytes from column k0 on, or none
        float* share;            // its memo shares likewise
        WalkAxis walk;           // the walks' set-up along y, made with the row's first walk
        bool walk_ready;
    };

    // Scratch reused from frame to frame, one struct per stage. Only the memos carry
    // anything from one frame to the next.

    // Where the light cells lie this frame.
    struct Cells {
        std::vector<std::int32_t> cave_col;  // cave column under each light column
        std::vector<std::int32_t> cave_row;  // cave row under each light row
        std::vector<float> centre_x;         // world centre of each light column
        std::vector<float> centre_y;         // world centre of each light row
    };
    // The cave cells around the view, for the sight shortcuts: empty (w = 0) when unusable.
    struct WindowTable {
        std::int32_t x0 = 0, y0 = 0, w = 0, h = 0;  // in cave cells
        std::vector<std::uint32_t> blocked_sum;     // summed-area table of blocked cells
        std::vector<std::uint8_t> open;             // 1 open
    };
    // One source's rows, one source at a time.
    struct SourceRows {
        StaircaseReach reach;
        std::vector<float> falloff;  // one row of the source's falloff
        std::vector<float> shares;   // and its shares, for a source whose memo keeps none
        std::vector<ColumnRun> runs;
        std::vector<Sight> run_sight;
        std::vector<WalkAxis> col_walk;           // the walk's set-up towards each column
        std::vector<std::int32_t> col_overshoot;  // and where its last step may overshoot
    };
    // The current source for the hull test, and its answers per cave cell of its box.
    struct Hull {
        float x = 0.0f, y = 0.0f;             // the source, in cave cells
        std::int32_t cell_x = 0, cell_y = 0;  // and its cell
        std::int32_t x0 = 0, y0 = 0, w = 0;   // the box's first cave cell, its width
        std::vector<Sight> sight;
    };
    // The sight memos of still sources, and what tells whether they still hold.
    struct Memos {
        std::vector<SightMemo> list;  // the first `count` are live; the rest keep storage
        std::size_t count = 0;
        bool usable = false;             // this frame's centres are whole pixels
        std::vector<std::uint8_t> cave;  // the cave they were made in
        std::int32_t cave_w = -1, cave_h = -1;
        float cave_cell = 0.0f;
        std::vector<std::uint64_t> last_points;  // the last frame's source points
        std::vector<std::uint64_t> points;       // this frame's
    };
    // The rock glow's scores, and where light is near enough to glow.
    struct Glow {
        std::vector<float> padded_score;       // r + g + b of open cells, -inf elsewhere and around
        std::vector<std::uint8_t> near_lit;    // 1 within three cells of a lit open cell
        std::vector<std::uint8_t> run;         // the same along rows only
        std::vector<std::uint8_t> dilate_row;  // one row with three zero cells each side
    };
    // The apply's taps along x and its interpolated light rows.
    struct ApplyRows {
        std::vector<float> row_a, row_b;   // horizontal interpolations of two light rows, r g b
        std::vector<std::uint32_t> col_k;  // the light column each pixel column reads first
        std::vector<float> col_f;          // and the fraction towards the next one
        bool paired = false;               // the taps of two-pixel light cells
        std::vector<float> soa;            // one light row by channel, r g b
    };
    Cells cells_;
    WindowTable window_;
    SourceRows source_;
    Hull hull_;
    Memos memos_;
    Glow glow_;
    ApplyRows apply_;

    std::size_t memo_row(SightMemo& memo, std::int64_t mx, std::int64_t my) const;
    void begin_memos(CaveTiles cave, float cave_cell);
    SightMemo* memo_for(const LightSource& s);
    void end_memos();
    void build_rock_mask(CaveTiles cave);
    void build_blocked_table(CaveTiles cave);
    std::uint32_t blocked_in(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                             std::int64_t y1) const;
    bool span_open(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by,
                   std::int32_t ox, std::int32_t oy, bool skip_start) const;
    bool hull_open(double sx, double sy, std::int64_t tx, std::int64_t ty, std::int64_t source_x,
                   std::int64_t source_y) const;
    Sight hull_sight(std::int32_t tx, std::int32_t ty);
    bool walk_in_window(std::int32_t x, std::int32_t y, std::int32_t end_x, std::int32_t end_y,
                        WalkAxis ax, WalkAxis ay, std::int32_t ox, std::int32_t oy) const;
    void row_falloff(const LightSource& s, float ddy, std::int32_t k0, std::int32_t k1);
    bool memo_knows_row(std::size_t row, std::int32_t k0, std::int32_t k1,
                        const std::uint8_t* seen) const;
    void add_shares(const LightSource& s, std::size_t row, std::int32_t k0, std::int32_t n,
                    const float* share);
    bool add_row_from_shares(const LightSource& s, std::size_t row, std::int32_t k0,
                             std::int32_t k1, const float* share);
    void keep_shares(std::size_t row, std::int32_t k0, std::int32_t k1, const std::uint8_t* seen,
                     float* share) const;
    void add_source(const LightSource& s, CaveTiles cave, float ox, float oy, float cave_cell);
    // add_source's steps, inlined into it (sight.cpp): they run per row and per cell, where
    // calls cost a few per cent of a frame's light.
    [[gnu::always_inline]] inline SourceWalk source_walk(const LightSource& s, float ox, float oy,
                                                         float cave_cell) const;
    [[gnu::always_inline]] inline void begin_hull(const LightSource& s, SourceWalk& w,
                                                  float cave_cell);
    [[gnu::always_inline]] inline std::size_t build_column_runs(const LightSource& s,
                                                                std::int32_t k0, std::int32_t k1,
                                                                float cave_cell);
    [[gnu::always_inline]] inline void find_memo_row(SightMemo* memo, const SourceWalk& w,
                                                     SourceRow& row);
    [[gnu::always_inline]] inline void add_row_by_walks(const LightSource& s, CaveTiles cave,
                                                        const SourceWalk& w, const SourceRow& row,
                                                        float cave_cell);
    [[gnu::always_inline]] inline void add_row_by_shortcuts(const LightSource& s, CaveTiles cave,
                                                            SourceWalk& w, SourceRow& row,
                                                            float cave_cell);
    // Asked once per run and row key; out of line, so that the per-cell loop around it keeps
    // its counters in registers (inlined, GCC 12 spilled them: 2-3 % of a first frame).
    [[gnu::noinline]] Sight shortcut_sight(CaveTiles cave, SourceWalk& w, const ColumnRun& run,
                                           const SourceRow& row);
    [[gnu::always_inline]] inline static void hide_blocked_run(std::uint8_t* seen,
                                                               const float* falloff, std::int32_t k,
                                                               std::int32_t k_end, std::int32_t k0);
    [[gnu::always_inline]] inline bool walk_sees(const LightSource& s, const SourceWalk& w,
                                                 ColumnRun& run, SourceRow& row, std::int32_t k,
                                                 float cave_cell);
    void glow_rock();
    void glow_rock_literally();
    void interpolate_row(std::uint32_t j, float* out);
};

}  // namespace pyrelle
