// libFuzzer target: arbitrary bytes as the serial stream that mirtool render reads. The
// first byte chooses how the rest is cut into pieces (as reads from a line deliver it);
// the stream is also fed whole, and once more with the pending bytes dropped halfway, as a
// reopened line does. Each panel must match a model that applies every complete record in
// order, and the counts must add up.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/mirtool/PanelImage.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// The panel as the wire format describes it, from the records at `data` in order.
struct Model {
    bool dark[wire::kPanelRows][wire::kPanelColumns] = {};
    uint64_t applied = 0;
    uint64_t rejected = 0;

    void Apply(const uint8_t* data, size_t length) {
        for (size_t at = 0; at + wire::kRecordSize <= length; at += wire::kRecordSize) {
            const uint8_t address = data[at];
            if (address & 0xC0) {
                ++rejected;
                continue;
            }
            ++applied;
            const int top = (address >> 3 & 7) * 8, left = (address & 7) * 16;
            for (int k = 0; k < 16; ++k)
                for (int j = 0; j < 8; ++j)
                    dark[top + j][left + k] = data[at + 1 + k] >> j & 1;
        }
    }
};

void checkSame(const mirtool::PanelImage& panel, const Model& model) {
    for (int row = 0; row < wire::kPanelRows; ++row)
        for (int column = 0; column < wire::kPanelColumns; ++column)
            check(panel.IsDark(column, row) == model.dark[row][column]);
}

// Feeds in pieces of 1 to 40 bytes chosen by a small generator; returns the records the
// pieces reported applied.
size_t feedInPieces(mirtool::RecordStream& stream, const uint8_t* data, size_t length,
                    uint32_t seed) {
    size_t reported = 0;
    for (size_t at = 0; at < length;) {
        seed = seed * 1103515245u + 12345u;
        size_t piece = 1 + (seed >> 16) % 40;
        if (piece > length - at)
            piece = length - at;
        reported += stream.Feed(data + at, piece);
        at += piece;
    }
    return reported;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size == 0)
        return 0;
    const uint32_t seed = input[0];
    const uint8_t* data = input + 1;
    const size_t length = size - 1;

    Model model;
    model.Apply(data, length);

    mirtool::PanelImage whole;
    mirtool::RecordStream all(whole);
    check(all.Feed(data, length) == model.applied);
    check(all.Applied() == model.applied && all.Rejected() == model.rejected);
    check(all.Pending() == length % wire::kRecordSize);
    checkSame(whole, model);

    mirtool::PanelImage pieces;
    mirtool::RecordStream cut(pieces);
    check(feedInPieces(cut, data, length, seed) == model.applied);
    check(cut.Applied() == model.applied && cut.Rejected() == model.rejected);
    check(cut.Pending() == all.Pending());
    checkSame(pieces, model);

    // A line reopened halfway: the bytes of the record it was inside are dropped and the
    // new line starts at a record boundary.
    const size_t half = length / 2;
    mirtool::PanelImage reopened;
    mirtool::RecordStream again(reopened);
    feedInPieces(again, data, half, seed);
    check(again.Pending() == half % wire::kRecordSize);
    again.DropPending();
    feedInPieces(again, data + half, length - half, seed + 1);
    Model expected;
    expected.Apply(data, half - half % wire::kRecordSize);
    expected.Apply(data + half, length - half);
    check(again.Applied() == expected.applied && again.Rejected() == expected.rejected);
    checkSame(reopened, expected);
    return 0;
}
