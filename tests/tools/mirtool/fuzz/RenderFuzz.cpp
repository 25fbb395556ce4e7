// libFuzzer target: arbitrary bytes as the serial stream that mirtool render reads. The
// first byte seeds how the rest is cut into pieces (as reads from a line deliver it). The
// stream is fed whole, in pieces, and in pieces with the pending bytes dropped halfway (a
// reopened line). Each panel must match a model that applies the complete records in order,
// and the counts must add up.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "tools/mirtool/PanelImage.h"

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// The panel as the wire format describes it.
struct Model {
    bool dark[64][128] = {};
    uint64_t applied = 0, rejected = 0;

    void Apply(const uint8_t* data, size_t length) {
        for (size_t at = 0; at + 17 <= length; at += 17) {
            const uint8_t address = data[at];
            ++(address & 0xC0 ? rejected : applied);
            for (int k = 0; k < 16 && !(address & 0xC0); ++k)
                for (int j = 0; j < 8; ++j)
                    dark[(address >> 3 & 7) * 8 + j][(address & 7) * 16 + k] =
                        data[at + 1 + k] >> j & 1;
        }
    }
    void Expect(const mirtool::RecordStream& stream, const mirtool::PanelImage& panel) const {
        check(stream.Applied() == applied && stream.Rejected() == rejected);
        for (int row = 0; row < 64; ++row)
            for (int column = 0; column < 128; ++column)
                check(panel.IsDark(column, row) == dark[row][column]);
    }
};

// Pieces of 1 to 40 bytes; returns the records the pieces reported applied.
size_t feedInPieces(mirtool::RecordStream& stream, const uint8_t* data, size_t length,
                    uint32_t seed) {
    size_t reported = 0;
    for (size_t at = 0, piece; at < length; at += piece) {
        seed = seed * 1103515245u + 12345u;
        piece = std::min<size_t>(1 + (seed >> 16) % 40, length - at);
        reported += stream.Feed(data + at, piece);
    }
    return reported;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t* data = input + 1;
    const size_t length = size - 1, half = length / 2;
    Model model;
    model.Apply(data, length);

    mirtool::PanelImage whole, pieces, reopened;
    mirtool::RecordStream all(whole), cut(pieces), again(reopened);
    check(all.Feed(data, length) == model.applied && all.Pending() == length % 17);
    model.Expect(all, whole);
    check(feedInPieces(cut, data, length, input[0]) == model.applied);
    check(cut.Pending() == length % 17);
    model.Expect(cut, pieces);

    feedInPieces(again, data, half, input[0]);
    check(again.Pending() == half % 17);
    again.DropPending();
    feedInPieces(again, data + half, length - half, input[0] + 1u);
    Model expected;
    expected.Apply(data, half - half % 17);
    expected.Apply(data + half, length - half);
    expected.Expect(again, reopened);
    return 0;
}
