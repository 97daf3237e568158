#pragma once
// The Hilbert transformer of the detector: an antisymmetric FIR with coefficients 2/((2k+1)pi)
// at the odd offsets 1, 3, ..., 2N-1 on each side of its centre. Together with the key sample
// at the centre it gives the analytic signal whose magnitude is the key's envelope.
namespace borealis {

class HilbertTable {
public:
    // Half length limit: 2.5 ms at 384 kHz, the highest rate the side-chain runs at.
    static constexpr int kMaxHalfLength = 960;
    // The wide form runs the taps in groups of eight, so it may read up to this many pairs
    // beyond the 2N-1 on either side (their coefficients are zero).
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
    // The wide code path's form of transformStereoTwice: the same taps in the same order, with
    // each product fused into its sum (AVX2 with FMA), so the last bits differ from the other
    // forms. The wide path uses it for every detector value, a lone one included (see
    // SideChain::processBlock), so its results never depend on where a block ends. Only for
    // processors that run the wide path. The history must reach kTapPadding pairs further on
    // both sides.
    void transformStereoTwiceFused(const double* centre, double out[4]) const;

private:
    int n_ = 1;
    double c_[kMaxHalfLength] = {};
    // Every coefficient twice, for the stereo pass.
    alignas(16) double pairs_[2 * kMaxHalfLength] = {};
    // Every coefficient four times, for the two-at-once pass.
    alignas(32) double quads_[4 * kMaxHalfLength] = {};
};

}  // namespace borealis
