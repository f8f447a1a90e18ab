// The 4:3 filter on borderline sizes, through the mode table as the program
// builds it. A plain main, so that every build runs it: the shipped i686 one
// (x87) under Wine as well as the native one.
#include <cstdio>

#include "app/state.h"
#include "fakes.h"
#include "probe/mode_table.h"

namespace {

struct Size {
    uint32_t width, height;
    bool kept;
};
// Common sizes, then both sides of both bounds where exact 4/3 or 0.001 would
// answer otherwise than the single-precision values.
constexpr Size SIZES[] = {
    {640, 480, true},     {800, 600, true},     {1024, 768, true},    {1152, 864, true},    {1280, 960, true},
    {1400, 1050, true},   {1600, 1200, true},   {1366, 1024, true},   {1333, 1000, true},   {1280, 1024, false},
    {1280, 720, false},   {1332, 1000, false},  {512, 384, false},    {320, 240, false},    {639, 479, false},
    {640, 0, false},      {3997, 3000, false},  {4003, 3000, true},   {14212, 10667, false}, {15122, 11333, true},
    {86286, 64666, true}, {86158, 64667, false}, {86729, 64998, true}, {87048, 65335, false},
};

}  // namespace

int main() {
    int failed = 0;
    for (const Size& s : SIZES) {
        reset_fakes();
        machine().adapters[0].modes = {mode(s.width, s.height, 22)};
        d3d = platform.d3d8->create(220);
        const bool kept = build_mode_table() == 1;
        std::printf("%5u x %5u: %s\n", s.width, s.height, kept ? "kept" : "dropped");
        if (kept != s.kept) {
            std::printf("  FAILED: should be %s\n", s.kept ? "kept" : "dropped");
            ++failed;
        }
    }
    const int total = static_cast<int>(sizeof SIZES / sizeof SIZES[0]);
    std::printf("%d passed, %d failed\n", total - failed, failed);
    return failed ? 1 : 0;
}
