#pragma once
// The Hilbert transformer of the detector: an antisymmetric FIR with coefficients 2/((2k+1)pi)
// at the odd offsets 1, 3, ..., 2N-1 on each side of its centre. Together with the key sample
// at the centre it gives the analytic signal whose magnitude is the key's envelope.
namespace borealis {

class HilbertTable {
public:
    // Half length limit: 2.5 ms at 384 kHz, the highest rate the side-chain runs at.
    static constexpr int kMaxHalfLength = 960;
    // The wide form runs the taps up to a multiple of eight, so it may read up to this many
    // pairs beyond the 2N-1 on either side (their coefficients are zero).
    static constexpr int kTapPadding = 14;
    static_assert(kMaxHalfLength % 8 == 0, "the padded taps stay inside the tables");

    HilbertTable() { build(44100.0, false); }

    // N = trunc(rate * (1 + smooth) * 0.5 / 400): 1.25 ms, or 2.5 ms with Smooth on.
    void build(double sideChainRate, bool smooth);

    int halfLength() const { return n_; }
    const double* coefficients() const { return c_; }

    // `centre` points at the centre sample of a contiguous history that reaches 2N-1 samples
    // to both sides (newer samples at higher addresses).
    double transform(const double* centre) const;
    // Both channels in one pass: `centre` points at the centre (left, right) pair of an
    // interleaved history that reaches 2N-1 pairs to both sides. The sums may round
    // differently from transform(), which adds the taps in order.
    void transformStereo(const double* centre, double& left, double& right) const;
    // transformStereo at `centre` and at the pair after it, both at once where the processor
    // has AVX (the taps of the two lie side by side in memory). out = {left, right at centre,
    // left, right one pair later}, each equal to what transformStereo gives bit for bit. The
    // history must reach one pair further on the newer side.
    void transformStereoTwice(const double* centre, double out[4]) const;
    // The wide code path's form: the transforms of `count` neighbouring centres, `first` the
    // oldest, into out[2i] (left) and out[2i + 1] (right) for centre i, computed several at a
    // time with each product fused into its sum (AVX2 with FMA), so the last bits differ from
    // the other forms. Each value is computed the same way however many centres a call takes
    // (a lone last centre as the second of a pair with the one before it, which the history
    // must hold), so results never depend on where a block ends. The history must reach
    // kTapPadding pairs further on both sides than 2N-1. Only for processors that run the wide
    // path.
    void transformStereoRunFused(const double* first, int count, double* out) const;

private:
    int n_ = 1;
    double c_[kMaxHalfLength] = {};
    // Every coefficient twice, for the stereo pass.
    alignas(16) double pairs_[2 * kMaxHalfLength] = {};
    // Every coefficient four times, for the two-at-once pass.
    alignas(32) double quads_[4 * kMaxHalfLength] = {};
};

}  // namespace borealis
